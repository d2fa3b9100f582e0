// The PNG image library's error kinds. Each adds nothing to the toolkit's base exception but its
// name; every error is raised through RaisePngError with its fixed message.
#pragma once

#include <string>

#include "toolkit/core/exception.h"

VORLANTH_DECLARE_EXCEPTION(EPngError, Exception);
VORLANTH_DECLARE_EXCEPTION(EPNGOutMemory, Exception);
VORLANTH_DECLARE_EXCEPTION(EPNGHeaderNotPresent, Exception);
VORLANTH_DECLARE_EXCEPTION(EPNGInvalidNewSize, Exception);
VORLANTH_DECLARE_EXCEPTION(EPngInvalidCRC, Exception);
VORLANTH_DECLARE_EXCEPTION(EPngInvalidIHDR, Exception);
VORLANTH_DECLARE_EXCEPTION(EPNGMissingMultipleIDAT, Exception);
VORLANTH_DECLARE_EXCEPTION(EPNGZLIBError, Exception);
VORLANTH_DECLARE_EXCEPTION(EPNGInvalidPalette, Exception);
VORLANTH_DECLARE_EXCEPTION(EPNGInvalidFileHeader, Exception);
VORLANTH_DECLARE_EXCEPTION(EPNGIHDRNotFirst, Exception);
VORLANTH_DECLARE_EXCEPTION(EPNGSizeExceeds, Exception);
VORLANTH_DECLARE_EXCEPTION(EPNGUnknownCriticalChunk, Exception);
VORLANTH_DECLARE_EXCEPTION(EPNGUnknownCompression, Exception);
VORLANTH_DECLARE_EXCEPTION(EPNGUnknownInterlace, Exception);
VORLANTH_DECLARE_EXCEPTION(EPngUnexpectedEnd, Exception);
VORLANTH_DECLARE_EXCEPTION(EPNGNoImageData, Exception);

// Raises an exception of class E with the message; never returns.
template <class E>
[[noreturn]] void RaisePngError(const std::string& message) {
    throw E(message);
}
