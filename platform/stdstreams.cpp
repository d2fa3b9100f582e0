#include "platform/stdstreams.h"

// Text and binary mode are the same here.
void SetStandardStreamsBinary() {}
