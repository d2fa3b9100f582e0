// Reading and writing binary window descriptions.
#include "toolkit/core/formdata.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <utility>

#include "toolkit/core/exception.h"

namespace {

constexpr std::array<std::uint8_t, 4> kSignature = {'T', 'P', 'F', '0'};
constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr const char* kBitmapClass = "TBitmap";
constexpr const char* kPngClass = "TPNGObject";

// A cursor over untrusted bytes: every read first checks that the bytes are there and names what it
// was reading when they are not.
class TFormReader {
public:
    explicit TFormReader(std::span<const std::uint8_t> bytes) : FBytes(bytes) {}

    TFormObject ReadRoot() {
        if (FBytes.size() < kSignature.size() ||
            !std::equal(kSignature.begin(), kSignature.end(), FBytes.begin()))
            throw EReadError("Invalid stream format");
        FPosition = kSignature.size();
        TFormObject root = ReadObject(1);
        if (FPosition != FBytes.size())
            throw EReadError("Unexpected data after the window description (" +
                             std::to_string(FBytes.size() - FPosition) + " bytes)");
        return root;
    }

private:
    std::size_t Remaining() const { return FBytes.size() - FPosition; }

    void Need(std::size_t count, const char* what) const {
        if (count > Remaining())
            throw EReadError(std::string("Unexpected end of window description in ") + what);
    }

    std::uint8_t ReadByte(const char* what) {
        Need(1, what);
        return FBytes[FPosition++];
    }

    std::uint32_t ReadLittleEndian(std::size_t count, const char* what) {
        Need(count, what);
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < count; ++i)
            value |= static_cast<std::uint32_t>(FBytes[FPosition + i]) << (8 * i);
        FPosition += count;
        return value;
    }

    std::string ReadName(const char* what) {
        const std::size_t length = ReadByte(what);
        Need(length, what);
        std::string name(reinterpret_cast<const char*>(FBytes.data() + FPosition), length);
        FPosition += length;
        return name;
    }

    TFormObject ReadObject(int depth) {
        if (depth > kMaxFormDepth)
            throw EReadError("Window description nested too deeply (more than " +
                             std::to_string(kMaxFormDepth) + " levels)");
        TFormObject object;
        object.ClassName = ReadName("class name");
        if (object.ClassName.empty()) throw EReadError("Empty class name in window description");
        object.Name = ReadName("object name");
        for (;;) {
            std::string name = ReadName("property name");
            if (name.empty()) break;
            object.Properties.push_back({std::move(name), ReadValue()});
        }
        for (;;) {
            // A zero byte ends the children; anything else is the class name length of the next.
            Need(1, "child list");
            if (FBytes[FPosition] == 0) {
                ++FPosition;
                break;
            }
            object.Children.push_back(ReadObject(depth + 1));
        }
        return object;
    }

    TFormValue ReadValue() {
        const std::uint8_t tag = ReadByte("property value");
        switch (static_cast<TFormValueTag>(tag)) {
        case TFormValueTag::Int8:
            return TFormValue::FromInteger(static_cast<std::int8_t>(ReadLittleEndian(1, "integer value")));
        case TFormValueTag::Int16:
            return TFormValue::FromInteger(static_cast<std::int16_t>(ReadLittleEndian(2, "integer value")));
        case TFormValueTag::Int32:
            return TFormValue::FromInteger(static_cast<std::int32_t>(ReadLittleEndian(4, "integer value")));
        case TFormValueTag::String: return TFormValue::FromString(ReadName("string value"));
        case TFormValueTag::Ident: return TFormValue::FromIdent(ReadName("identifier value"));
        case TFormValueTag::False: return TFormValue::FromBoolean(false);
        case TFormValueTag::True: return TFormValue::FromBoolean(true);
        case TFormValueTag::Binary: {
            const std::uint32_t count = ReadLittleEndian(4, "binary value");
            // Checked before the vector is made, so a hostile count never becomes an allocation.
            Need(count, "binary value");
            const auto begin = FBytes.begin() + static_cast<std::ptrdiff_t>(FPosition);
            FPosition += count;
            return TFormValue::FromBinary(std::vector<std::uint8_t>(begin, begin + count));
        }
        case TFormValueTag::Set: {
            std::vector<std::string> names;
            for (;;) {
                std::string name = ReadName("set value");
                if (name.empty()) break;
                names.push_back(std::move(name));
            }
            return TFormValue::FromSet(std::move(names));
        }
        }
        throw EReadError("Invalid property value (tag " + std::to_string(tag) + ")");
    }

    std::span<const std::uint8_t> FBytes;
    std::size_t FPosition = 0;
};

class TFormWriter {
public:
    std::vector<std::uint8_t> Take() { return std::move(FBytes); }

    // Appended byte by byte: GCC 12 misjudges a range insert into the empty vector as an overflow.
    void WriteSignature() {
        for (const std::uint8_t byte : kSignature)
            FBytes.push_back(byte);
    }

    void WriteObject(const TFormObject& object) {
        if (object.ClassName.empty()) throw EWriteError("Empty class name in window description");
        WriteName(object.ClassName, "class name");
        WriteName(object.Name, "object name");
        for (const TFormProperty& property : object.Properties) {
            if (property.Name.empty()) throw EWriteError("Empty property name in object " + object.Name);
            WriteName(property.Name, "property name");
            WriteValue(property.Value);
        }
        FBytes.push_back(0);
        for (const TFormObject& child : object.Children)
            WriteObject(child);
        FBytes.push_back(0);
    }

private:
    void WriteTag(TFormValueTag tag) { FBytes.push_back(static_cast<std::uint8_t>(tag)); }

    void WriteLittleEndian(std::uint32_t value, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i)
            FBytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }

    void WriteName(const std::string& name, const char* what) {
        if (name.size() > std::numeric_limits<std::uint8_t>::max())
            throw EWriteError(std::string("Window description ") + what + " too long (" +
                              std::to_string(name.size()) + " bytes, at most 255)");
        FBytes.push_back(static_cast<std::uint8_t>(name.size()));
        FBytes.insert(FBytes.end(), name.begin(), name.end());
    }

    void WriteInteger(std::int32_t value) {
        if (value >= std::numeric_limits<std::int8_t>::min() &&
            value <= std::numeric_limits<std::int8_t>::max()) {
            WriteTag(TFormValueTag::Int8);
            WriteLittleEndian(static_cast<std::uint32_t>(value), 1);
        } else if (value >= std::numeric_limits<std::int16_t>::min() &&
                   value <= std::numeric_limits<std::int16_t>::max()) {
            WriteTag(TFormValueTag::Int16);
            WriteLittleEndian(static_cast<std::uint32_t>(value), 2);
        } else {
            WriteTag(TFormValueTag::Int32);
            WriteLittleEndian(static_cast<std::uint32_t>(value), 4);
        }
    }

    void WriteValue(const TFormValue& value) {
        switch (value.Kind) {
        case TFormValueKind::Integer: WriteInteger(value.Integer); return;
        case TFormValueKind::String:
            WriteTag(TFormValueTag::String);
            WriteName(value.Text, "string value");
            return;
        case TFormValueKind::Ident:
            WriteTag(TFormValueTag::Ident);
            WriteName(value.Text, "identifier value");
            return;
        case TFormValueKind::Boolean:
            WriteTag(value.Boolean ? TFormValueTag::True : TFormValueTag::False);
            return;
        case TFormValueKind::Binary:
            if (value.Bytes.size() > std::numeric_limits<std::uint32_t>::max())
                throw EWriteError("Binary value too large for a window description");
            WriteTag(TFormValueTag::Binary);
            WriteLittleEndian(static_cast<std::uint32_t>(value.Bytes.size()), 4);
            FBytes.insert(FBytes.end(), value.Bytes.begin(), value.Bytes.end());
            return;
        case TFormValueKind::Set:
            WriteTag(TFormValueTag::Set);
            for (const std::string& name : value.Names) {
                // An empty member would read back as the end of the set.
                if (name.empty()) throw EWriteError("Empty name in a set value");
                WriteName(name, "set value");
            }
            FBytes.push_back(0);
            return;
        }
        throw EWriteError("Unknown property value kind");
    }

    std::vector<std::uint8_t> FBytes;
};

bool StartsWith(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

// A value of the kind with the field that kind uses set.
template <auto Field, class T>
TFormValue ValueOf(TFormValueKind kind, T&& value) {
    TFormValue v;
    v.Kind = kind;
    v.*Field = std::forward<T>(value);
    return v;
}

} // namespace

TFormValue TFormValue::FromInteger(std::int32_t value) {
    return ValueOf<&TFormValue::Integer>(TFormValueKind::Integer, value);
}

TFormValue TFormValue::FromString(std::string value) {
    return ValueOf<&TFormValue::Text>(TFormValueKind::String, std::move(value));
}

TFormValue TFormValue::FromIdent(std::string value) {
    return ValueOf<&TFormValue::Text>(TFormValueKind::Ident, std::move(value));
}

TFormValue TFormValue::FromBoolean(bool value) {
    return ValueOf<&TFormValue::Boolean>(TFormValueKind::Boolean, value);
}

TFormValue TFormValue::FromBinary(std::vector<std::uint8_t> value) {
    return ValueOf<&TFormValue::Bytes>(TFormValueKind::Binary, std::move(value));
}

TFormValue TFormValue::FromSet(std::vector<std::string> value) {
    return ValueOf<&TFormValue::Names>(TFormValueKind::Set, std::move(value));
}

TFormObject ReadFormData(std::span<const std::uint8_t> bytes) {
    return TFormReader(bytes).ReadRoot();
}

std::vector<std::uint8_t> WriteFormData(const TFormObject& root) {
    TFormWriter writer;
    writer.WriteSignature();
    writer.WriteObject(root);
    return writer.Take();
}

std::vector<std::uint8_t> PictureData(const std::string& graphicClass,
                                      std::span<const std::uint8_t> fileBytes) {
    if (graphicClass.empty() || graphicClass.size() > std::numeric_limits<std::uint8_t>::max())
        throw EInvalidGraphic("Invalid graphic class name \"" + graphicClass + "\"");
    const bool bitmap = graphicClass == kBitmapClass;
    if (bitmap && !StartsWith(fileBytes, std::array<std::uint8_t, 2>{'B', 'M'}))
        throw EInvalidGraphic("Bitmap image is not valid");
    if (graphicClass == kPngClass && !StartsWith(fileBytes, kPngSignature))
        throw EInvalidGraphic("The file is not a valid PNG image");
    if (bitmap && fileBytes.size() > std::numeric_limits<std::uint32_t>::max())
        throw EInvalidGraphic("Bitmap image is too large");

    std::vector<std::uint8_t> value;
    value.reserve(1 + graphicClass.size() + (bitmap ? 4 : 0) + fileBytes.size());
    value.push_back(static_cast<std::uint8_t>(graphicClass.size()));
    value.insert(value.end(), graphicClass.begin(), graphicClass.end());
    if (bitmap) {
        const auto count = static_cast<std::uint32_t>(fileBytes.size());
        for (int i = 0; i < 4; ++i)
            value.push_back(static_cast<std::uint8_t>(count >> (8 * i)));
    }
    value.insert(value.end(), fileBytes.begin(), fileBytes.end());
    return value;
}

TPictureData SplitPictureData(std::span<const std::uint8_t> value) {
    if (value.empty()) throw EReadError("Unexpected end of picture data in graphic class name");
    const std::size_t length = value[0];
    if (length == 0) throw EReadError("Empty graphic class name in picture data");
    if (length + 1 > value.size()) throw EReadError("Unexpected end of picture data in graphic class name");
    return {std::string(reinterpret_cast<const char*>(value.data() + 1), length), value.subspan(1 + length)};
}

std::span<const std::uint8_t> PictureFileBytes(const TPictureData& picture) {
    if (picture.GraphicClass != kBitmapClass) return picture.Data;
    if (picture.Data.size() < 4) throw EReadError("Unexpected end of picture data in bitmap size");
    std::uint32_t count = 0;
    for (std::size_t i = 0; i < 4; ++i)
        count |= static_cast<std::uint32_t>(picture.Data[i]) << (8 * i);
    if (count != picture.Data.size() - 4)
        throw EReadError("Bitmap size in picture data (" + std::to_string(count) +
                         " bytes) does not match the " + std::to_string(picture.Data.size() - 4) +
                         " bytes present");
    return picture.Data.subspan(4);
}
