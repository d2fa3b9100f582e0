#include "toolkit/host/hostfactory.h"
#include "toolkit/host/qthost.h"

std::unique_ptr<THost> MakeHost(int& argc, char** argv) {
    return std::make_unique<TQtHost>(argc, argv);
}
