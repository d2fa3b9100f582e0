#include "platform/stdstreams.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <initializer_list>

void SetStandardStreamsBinary() {
    for (std::FILE* stream : {stdin, stdout, stderr}) {
        std::fflush(stream);
        _setmode(_fileno(stream), _O_BINARY);
    }
}
