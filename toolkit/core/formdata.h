// Binary window descriptions: the in-memory model of a window, its controls and their properties,
// and the reader and writer of the compact byte form that is embedded in the program.
//
// Layout: the signature "TPF0", then one object record. An object record is its class name and
// object name (a length byte and that many characters each), its properties, a zero byte, its
// children, a zero byte. A property is its name (dotted names such as "Font.Height" address a
// sub-object) followed by one tagged value; see TFormValueTag.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The tag byte in front of every property value.
enum class TFormValueTag : std::uint8_t {
    Int8 = 2,
    Int16 = 3,
    Int32 = 4,
    String = 6,
    Ident = 7,
    False = 8,
    True = 9,
    Binary = 10,
    Set = 11,
};

enum class TFormValueKind { Integer, String, Ident, Boolean, Binary, Set };

// One property value. Only the payload that belongs to Kind is meaningful; the others stay empty so
// that values compare equal by their contents.
struct TFormValue {
    TFormValueKind Kind = TFormValueKind::Integer;
    std::int32_t Integer = 0;
    std::string Text; // String and Ident: a string value, or an enumeration, colour or handler name
    bool Boolean = false;
    std::vector<std::uint8_t> Bytes; // Binary
    std::vector<std::string> Names;  // Set

    static TFormValue FromInteger(std::int32_t value);
    static TFormValue FromString(std::string value);
    static TFormValue FromIdent(std::string value);
    static TFormValue FromBoolean(bool value);
    static TFormValue FromBinary(std::vector<std::uint8_t> value);
    static TFormValue FromSet(std::vector<std::string> value);

    bool operator==(const TFormValue&) const = default;
};

struct TFormProperty {
    std::string Name;
    TFormValue Value;

    bool operator==(const TFormProperty&) const = default;
};

struct TFormObject {
    std::string ClassName;
    std::string Name;
    std::vector<TFormProperty> Properties;
    std::vector<TFormObject> Children;

    bool operator==(const TFormObject&) const = default;
};

// Objects nested deeper than this (the root counts as level 1) are refused on reading, so that a
// hostile description cannot exhaust the stack.
constexpr int kMaxFormDepth = 64;

// Reads a whole description. The input is untrusted: every failure (wrong signature, truncation
// anywhere, an unknown value tag, an empty class name, objects nested too deeply, bytes left over
// after the root object) raises EReadError, and nothing is allocated beyond what the bytes present
// can fill.
TFormObject ReadFormData(std::span<const std::uint8_t> bytes);

// Writes a description; integers take the smallest tag that holds them. Names and string values
// longer than 255 bytes, empty class or property names, empty set members and binary values of 4 GiB
// or more cannot be expressed and raise EWriteError.
std::vector<std::uint8_t> WriteFormData(const TFormObject& root);

// The value of a "Picture.Data" property: the graphic class name (length byte and characters), then
// the graphic's own data. A TBitmap keeps a 32-bit little-endian byte count in front of its BMP file;
// every other class (TPNGObject among them) stores its stream as it is. A TBitmap file must begin
// with "BM" and a TPNGObject file with the PNG signature, else EInvalidGraphic.
std::vector<std::uint8_t> PictureData(const std::string& graphicClass,
                                      std::span<const std::uint8_t> fileBytes);

// The parts of a picture value. Data is what the graphic class reads itself: for a TBitmap that is
// still the byte count followed by the file, as the bitmap reads its own count; use
// PictureFileBytes for the bare file.
struct TPictureData {
    std::string GraphicClass;
    std::span<const std::uint8_t> Data;
};

// Splits a picture value into class name and data (a view into value); a missing or empty class name
// raises EReadError.
TPictureData SplitPictureData(std::span<const std::uint8_t> value);

// The file inside a picture's data: after the byte count for a TBitmap (which must match the bytes
// that follow exactly, else EReadError), the data itself for other classes.
std::span<const std::uint8_t> PictureFileBytes(const TPictureData& picture);
