// Runs a call that came from a window procedure into the toolkit: an exception it raises is
// reported through the application object and goes no further, as it cannot cross the system's
// message dispatch.
#pragma once

#include <functional>

void GuardedCall(const std::function<void()>& call);
