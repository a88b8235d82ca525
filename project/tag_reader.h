#pragma once
// The small tag reader behind every reader of project files, image lists and
// settings. It works on a character stream; errors are thrown as text
// (TagFormatError) and caught by the loaders.
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

// Numbers read with the stream's own parsing: leading whitespace skipped,
// reading stops at the first character that cannot continue the number.
// A stream that holds no number leaves the value 0 and the stream usable.
int32_t ReadInt(std::istream& in);
uint32_t ReadUnsigned(std::istream& in);
double ReadDouble(std::istream& in);

// "%g" formatting shared by every writer of the format.
std::string FormatG(double value);

}  // namespace ombrelo
