#pragma once
// The small tag reader behind every reader of project files, image lists and
// settings. It works on a character stream; errors are thrown as text
// (TagFormatError) and caught by the loaders.
#include <cstdint>
#include <istream>
#include <stdexcept>
#include <string>

namespace ombrelo {

// An error text thrown by the readers of the project file format.
class TagFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Skips blanks, tabs, line feeds and carriage returns, then returns
// everything up to and including the first ">" (stopping early at a NUL
// character or at the end of the stream). Text before a tag becomes part of it.
std::string ReadTag(std::istream& in);

// Everything up to, not including, the next "<" (which stays in the stream),
// a NUL character or the end of the stream. Nothing is skipped or decoded.
std::string ReadText(std::istream& in);

// Reads a tag; throws "Format error : missing " + tag when it differs.
void ExpectTag(std::istream& in, const std::string& tag);

// String values of the format. A value is written byte for byte as it
// stands; only a value that holds a "<" (which the plain form cannot carry,
// since a value ends at the next "<") is wrapped in a CDATA section, with any
// "]]>" inside it split across two sections. Values without "<" therefore
// look exactly as they always did, and no file written in the plain form
// contains a CDATA section where a value stands.
std::string TextValue(const std::string& value);

// Reads a string value: the text up to the next "<" as ReadText does, plus
// the content of any CDATA sections that follow (and the text after them),
// without NUL characters.
// An unterminated CDATA section throws "Format error : missing ]]>".
std::string ReadTextValue(std::istream& in);

// Numbers read with the stream's own parsing: leading whitespace skipped,
// reading stops at the first character that cannot continue the number.
// A stream that holds no number leaves the value 0 and the stream usable.
int32_t ReadInt(std::istream& in);
uint32_t ReadUnsigned(std::istream& in);
double ReadDouble(std::istream& in);

// "%g" formatting shared by every writer of the format. Infinities and NaN
// come out as "inf", "-inf" and "nan", which ReadDouble reads back.
std::string FormatG(double value);

// C atoi/atof over a text, independent of the process locale: leading
// whitespace skipped, the longest number prefix converted, 0 when there is
// none. AtoI saturates at the 32-bit limits.
int32_t AtoI(const std::string& text);
double AtoF(const std::string& text);

}  // namespace ombrelo
