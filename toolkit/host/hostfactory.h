// The host of this system: Qt on Linux, native windows on Windows. The one place that chooses.
#pragma once

#include <memory>

#include "toolkit/controls/host.h"

std::unique_ptr<THost> MakeHost(int& argc, char** argv);
