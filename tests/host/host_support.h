// The one Qt host of the window tests, made at start-up on the offscreen platform.
#pragma once

#include "toolkit/host/qthost.h"

TQtHost& TestHost();
