#include "toolkit/host/hostfactory.h"

#include "toolkit/host/win32/win32host.h"

std::unique_ptr<THost> MakeHost(int&, char**) {
    return std::make_unique<TWin32Host>();
}
