// The message texts of the PNG image library's errors.
#pragma once

namespace pnglang {

extern const char* const EPngErrorExistentCriticalText;
extern const char* const EPngErrorInvalidImageText;
extern const char* const EPngErrorIncompatibleChunksText;
extern const char* const EPngErrorNoPaletteEntryText;
extern const char* const EPNGOutMemoryText;
extern const char* const EPNGHeaderNotPresentText;
extern const char* const EPNGInvalidNewSizeText;
extern const char* const EPngInvalidCRCText;
extern const char* const EPngInvalidIHDRText;
extern const char* const EPNGMissingMultipleIDATText;
extern const char* const EPNGZLIBErrorText;
extern const char* const EPNGInvalidPaletteText;
extern const char* const EPNGInvalidFileHeaderText;
extern const char* const EPNGIHDRNotFirstText;
extern const char* const EPNGSizeExceedsText;
extern const char* const EPNGUnknownCriticalChunkText;
extern const char* const EPNGUnknownCompressionText;
extern const char* const EPNGUnknownInterlaceText;
extern const char* const EPngUnexpectedEndText;
extern const char* const EPNGNoImageDataText;

// zlib's result texts, indexed by result code + 6 (codes -6 to 2).
extern const char* const ZlibMessages[9];
// The text for a zlib result code; "(?)" for a code outside -6 to 2.
const char* ZlibMessage(int code);

} // namespace pnglang
