// Parsing and printing the text form of window descriptions.
#include "formtext.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

namespace {

bool IsWordStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_';
}

bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '.';
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != 0; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && b[i] == 0;
}

// Walks the lines of the text; each line is scanned by a small cursor that reports errors with its
// line number.
class TFormTextParser {
public:
    TFormTextParser(const std::string& text, std::string baseFolder) : FBaseFolder(std::move(baseFolder)) {
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            FLines.push_back(std::move(line));
        }
    }

    TFormText Parse() {
        TFormText result;
        if (!NextItem()) throw EFormTextError(FLines.empty() ? 1 : FLines.size(), "no object in the text");
        if (!TakeWord("object")) Fail("expected 'object'");
        result.Root = ParseObject(1);
        if (NextItem()) Fail("text after the end of the root object");
        result.PictureFiles = std::move(FPictureFiles);
        return result;
    }

private:
    [[noreturn]] void Fail(const std::string& message) const { throw EFormTextError(FLine + 1, message); }

    // Moves to the next line with content (or stays on the current one if it has more); false at the
    // end of the text.
    bool NextItem() {
        for (;;) {
            SkipBlanks();
            if (FColumn < Current().size()) {
                if (Current().compare(FColumn, 2, "//") != 0) return true;
            }
            if (FLine + 1 >= FLines.size()) {
                FColumn = Current().size();
                return false;
            }
            ++FLine;
            FColumn = 0;
        }
    }

    const std::string& Current() const {
        static const std::string empty;
        return FLine < FLines.size() ? FLines[FLine] : empty;
    }

    bool AtLineEnd() {
        SkipBlanks();
        return FColumn >= Current().size();
    }

    void ExpectLineEnd() {
        if (!AtLineEnd()) Fail("unexpected '" + Current().substr(FColumn) + "'");
        if (FLine + 1 < FLines.size()) {
            ++FLine;
            FColumn = 0;
        } else {
            FColumn = Current().size();
        }
    }

    void SkipBlanks() {
        const std::string& line = Current();
        while (FColumn < line.size() && (line[FColumn] == ' ' || line[FColumn] == '\t'))
            ++FColumn;
    }

    char Peek() {
        SkipBlanks();
        return FColumn < Current().size() ? Current()[FColumn] : '\0';
    }

    bool TakeChar(char c) {
        if (Peek() != c) return false;
        ++FColumn;
        return true;
    }

    void ExpectChar(char c, const char* what) {
        if (!TakeChar(c)) Fail(std::string("expected ") + what);
    }

    // A bare word (letters, digits, '_' and '.'); empty when there is none here.
    std::string Word() {
        SkipBlanks();
        const std::string& line = Current();
        if (FColumn >= line.size() || !IsWordStart(line[FColumn])) return {};
        const std::size_t start = FColumn;
        while (FColumn < line.size() && IsWordChar(line[FColumn]))
            ++FColumn;
        return line.substr(start, FColumn - start);
    }

    bool TakeWord(const char* word) {
        const std::size_t saved = FColumn;
        if (Word() == word) return true;
        FColumn = saved;
        return false;
    }

    std::string ExpectWord(const char* what) {
        std::string word = Word();
        if (word.empty()) Fail(std::string("expected ") + what);
        CheckLength(word, what);
        return word;
    }

    void CheckLength(const std::string& text, const char* what) const {
        if (text.size() > std::numeric_limits<std::uint8_t>::max())
            Fail(std::string(what) + " longer than 255 bytes");
    }

    // Called after "object"; reads the header line, the properties and children, and "end".
    TFormObject ParseObject(int depth) {
        if (depth > kMaxFormDepth)
            Fail("objects nested more than " + std::to_string(kMaxFormDepth) + " deep");
        TFormObject object;
        if (Peek() != ':') object.Name = ExpectWord("object name");
        ExpectChar(':', "':' and a class name after the object name");
        object.ClassName = ExpectWord("class name");
        ExpectLineEnd();
        for (;;) {
            if (!NextItem()) Fail("missing 'end' of object " + object.Name);
            if (TakeWord("end")) {
                ExpectLineEnd();
                return object;
            }
            if (TakeWord("object")) {
                object.Children.push_back(ParseObject(depth + 1));
                continue;
            }
            TFormProperty property;
            property.Name = ExpectWord("a property, 'object' or 'end'");
            ExpectChar('=', "'=' after the property name");
            property.Value = ParseValue();
            ExpectLineEnd();
            object.Properties.push_back(std::move(property));
        }
    }

    TFormValue ParseValue() {
        const char c = Peek();
        if (c == '\'' || c == '#') return TFormValue::FromString(ParseString());
        if (c == '-' || std::isdigit(static_cast<unsigned char>(c)) != 0)
            return TFormValue::FromInteger(ParseInteger());
        if (c == '[') return TFormValue::FromSet(ParseSet());
        if (c == '{') return TFormValue::FromBinary(ParseHex());
        std::string word = Word();
        if (word.empty()) Fail(c == '\0' ? "missing value" : std::string("unexpected '") + c + "' in value");
        if (EqualsIgnoringCase(word, "true")) return TFormValue::FromBoolean(true);
        if (EqualsIgnoringCase(word, "false")) return TFormValue::FromBoolean(false);
        if (word == "picture" && !AtLineEnd()) return TFormValue::FromBinary(ParsePicture());
        CheckLength(word, "identifier");
        return TFormValue::FromIdent(std::move(word));
    }

    std::int32_t ParseInteger() {
        SkipBlanks();
        const std::string& line = Current();
        std::size_t end = FColumn + (line[FColumn] == '-' ? 1 : 0);
        const std::size_t digits = end;
        while (end < line.size() && std::isdigit(static_cast<unsigned char>(line[end])) != 0)
            ++end;
        const std::string text = line.substr(FColumn, end - FColumn);
        if (end == digits) Fail("expected digits after '-'");
        if (end < line.size() && IsWordChar(line[end])) Fail("invalid integer '" + text + line[end] + "'");
        errno = 0;
        const long long value = std::strtoll(text.c_str(), nullptr, 10);
        if (errno == ERANGE || value < std::numeric_limits<std::int32_t>::min() ||
            value > std::numeric_limits<std::int32_t>::max())
            Fail("integer " + text + " does not fit in 32 bits");
        FColumn = end;
        return static_cast<std::int32_t>(value);
    }

    // Quoted parts and #N character codes, side by side without blanks.
    std::string ParseString() {
        SkipBlanks();
        const std::string& line = Current();
        std::string value;
        for (;;) {
            if (FColumn < line.size() && line[FColumn] == '\'') {
                ++FColumn;
                for (;;) {
                    if (FColumn >= line.size()) Fail("unterminated string");
                    if (line[FColumn] == '\'') {
                        if (FColumn + 1 < line.size() && line[FColumn + 1] == '\'') {
                            value += '\'';
                            FColumn += 2;
                            continue;
                        }
                        ++FColumn;
                        break;
                    }
                    value += line[FColumn++];
                }
            } else if (FColumn < line.size() && line[FColumn] == '#') {
                std::size_t end = ++FColumn;
                int code = 0;
                while (end < line.size() && std::isdigit(static_cast<unsigned char>(line[end])) != 0 &&
                       code <= 255)
                    code = code * 10 + (line[end++] - '0');
                if (end == FColumn || code > 255) Fail("expected a character code from 0 to 255 after '#'");
                value += static_cast<char>(code);
                FColumn = end;
            } else {
                break;
            }
        }
        CheckLength(value, "string");
        return value;
    }

    std::vector<std::string> ParseSet() {
        ExpectChar('[', "'['");
        std::vector<std::string> names;
        if (TakeChar(']')) return names;
        do {
            names.push_back(ExpectWord("a name in the set"));
        } while (TakeChar(','));
        ExpectChar(']', "',' or ']' in the set");
        return names;
    }

    std::vector<std::uint8_t> ParseHex() {
        ExpectChar('{', "'{'");
        const std::size_t firstLine = FLine;
        std::vector<std::uint8_t> bytes;
        for (;;) {
            if (AtLineEnd()) {
                if (FLine + 1 >= FLines.size())
                    throw EFormTextError(firstLine + 1, "missing '}' after binary data");
                ++FLine;
                FColumn = 0;
                continue;
            }
            if (TakeChar('}')) return bytes;
            const std::string& line = Current();
            auto digit = [&](std::size_t at) -> int {
                if (at >= line.size() || std::isxdigit(static_cast<unsigned char>(line[at])) == 0)
                    Fail("expected two hexadecimal digits or '}' in binary data");
                const char d = static_cast<char>(std::tolower(static_cast<unsigned char>(line[at])));
                return d <= '9' ? d - '0' : d - 'a' + 10;
            };
            bytes.push_back(static_cast<std::uint8_t>(digit(FColumn) * 16 + digit(FColumn + 1)));
            FColumn += 2;
        }
    }

    // After "picture": the graphic class and the quoted file name.
    std::vector<std::uint8_t> ParsePicture() {
        const std::string graphicClass = ExpectWord("a graphic class after 'picture'");
        if (Peek() != '\'') Fail("expected a quoted file name after the graphic class");
        const std::string name = ParseString();
        std::filesystem::path path(name);
        if (path.is_relative()) path = std::filesystem::path(FBaseFolder) / path;
        std::ifstream in(path, std::ios::binary);
        if (!in) Fail("cannot read picture file '" + path.string() + "'");
        const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)),
                                             std::istreambuf_iterator<char>());
        if (in.bad()) Fail("cannot read picture file '" + path.string() + "'");
        FPictureFiles.push_back(path.string());
        try {
            return PictureData(graphicClass, file);
        } catch (const Exception& e) {
            Fail("picture file '" + path.string() + "': " + e.Message());
        }
    }

    std::vector<std::string> FLines;
    std::string FBaseFolder;
    std::vector<std::string> FPictureFiles;
    std::size_t FLine = 0;
    std::size_t FColumn = 0;
};

bool IsPictureProperty(const std::string& name) {
    static const std::string suffix = "Picture.Data";
    if (name == suffix) return true;
    return name.size() > suffix.size() &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0 &&
           name[name.size() - suffix.size() - 1] == '.';
}

void PrintString(std::ostream& out, const std::string& text) {
    if (text.empty()) {
        out << "''";
        return;
    }
    bool quoted = false;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 32 && byte < 127) {
            if (!quoted) out << '\'';
            quoted = true;
            out << (c == '\'' ? "''" : std::string(1, c));
        } else {
            if (quoted) out << '\'';
            quoted = false;
            out << '#' << static_cast<int>(byte);
        }
    }
    if (quoted) out << '\'';
}

void PrintHex(std::ostream& out, const std::vector<std::uint8_t>& bytes, const std::string& indent) {
    static const char digits[] = "0123456789ABCDEF";
    constexpr std::size_t kPerLine = 32;
    if (bytes.size() <= kPerLine) {
        out << '{';
        for (const std::uint8_t b : bytes)
            out << ' ' << digits[b >> 4] << digits[b & 15];
        out << " }";
        return;
    }
    out << '{';
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i % kPerLine == 0) out << '\n' << indent << "  ";
        out << digits[bytes[i] >> 4] << digits[bytes[i] & 15];
    }
    out << " }";
}

void PrintValue(std::ostream& out, const TFormProperty& property, const std::string& indent) {
    const TFormValue& value = property.Value;
    switch (value.Kind) {
    case TFormValueKind::Integer: out << value.Integer; return;
    case TFormValueKind::String: PrintString(out, value.Text); return;
    case TFormValueKind::Ident: out << value.Text; return;
    case TFormValueKind::Boolean: out << (value.Boolean ? "True" : "False"); return;
    case TFormValueKind::Set:
        out << '[';
        for (std::size_t i = 0; i < value.Names.size(); ++i)
            out << (i == 0 ? "" : ", ") << value.Names[i];
        out << ']';
        return;
    case TFormValueKind::Binary:
        if (IsPictureProperty(property.Name)) {
            try {
                const TPictureData picture = SplitPictureData(value.Bytes);
                out << "{ " << PictureFileBytes(picture).size() << " bytes, class " << picture.GraphicClass
                    << " }";
                return;
            } catch (const Exception&) {
                // Not laid out as a picture: shown as plain bytes below.
            }
        }
        PrintHex(out, value.Bytes, indent);
        return;
    }
}

void PrintObject(std::ostream& out, const TFormObject& object, const std::string& indent) {
    out << indent << "object " << object.Name << ": " << object.ClassName << '\n';
    const std::string inner = indent + "  ";
    for (const TFormProperty& property : object.Properties) {
        out << inner << property.Name << " = ";
        PrintValue(out, property, inner);
        out << '\n';
    }
    for (const TFormObject& child : object.Children)
        PrintObject(out, child, inner);
    out << indent << "end\n";
}

} // namespace

TFormText ParseFormText(const std::string& text, const std::string& baseFolder) {
    return TFormTextParser(text, baseFolder).Parse();
}

std::string FormToText(const TFormObject& root) {
    std::ostringstream out;
    PrintObject(out, root, "");
    return out.str();
}
