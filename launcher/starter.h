// The launcher's whole run, apart from main so that tests can drive the real sequence: every
// unit's start-up, the application, the window from its description, the message loop, then the
// shut-downs in reverse order. Returns the process's exit code.
#pragma once

#include <functional>

// beforeRun, when given, is called once the window exists and before the loop starts (a test
// queues its simulated input there).
int RunLauncher(int& argc, char** argv, const std::function<void()>& beforeRun = {});
