// The readable text form of window descriptions, from which the binary form is compiled at build time,
// and back. One item per line:
//
//   object NAME: CLASS          starts an object (NAME may be left out: "object : CLASS")
//   NAME = VALUE                a property; NAME may be dotted ("Font.Height")
//   end                         ends the innermost object
//   // ...                      a comment line; blank lines are ignored
//
// Values:
//   -11                         an integer (decimal, 32 bits)
//   'It''s'#13#10'here'         a string: quoted parts ('' is a quote inside) and #N character codes
//   bsNone  True  False         an identifier; True and False (any case) are the booleans
//   [biSystemMenu, biMinimize]  a set ([] when empty)
//   picture TBitmap 'a.bmp'     a picture value: the file (relative to the text file's folder) packed
//                               as picture data for that graphic class
//   { 0A 1b ff }                other binary data in hexadecimal; may continue over several lines
//                               up to the closing brace
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "toolkit/core/exception.h"
#include "toolkit/core/formdata.h"

// A mistake in the text, with the line it was found on.
class EFormTextError : public Exception {
public:
    EFormTextError(std::size_t line, std::string message) : Exception(std::move(message)), FLine(line) {}
    const char* ClassName() const noexcept override { return "EFormTextError"; }
    std::size_t Line() const noexcept { return FLine; }

private:
    std::size_t FLine;
};

struct TFormText {
    TFormObject Root;
    std::vector<std::string> PictureFiles; // every picture file read, as opened
};

// Parses the text of a description; picture files are looked up in baseFolder.
TFormText ParseFormText(const std::string& text, const std::string& baseFolder);

// Prints a description in the text form. Picture values (of properties named "Picture.Data" or ending
// in ".Picture.Data") are shown as "{ N bytes, class NAME }", N being the size of the picture's file.
std::string FormToText(const TFormObject& root);
