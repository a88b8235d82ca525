#pragma once
// The small tag reader behind every reader of project files, image lists and
// settings. It works on a character stream; errors are thrown as text
// (TagFormatError) and caught by the loaders.
#include <cstdint>
#include <istream>
#include <stdexcept>
#include <string>
#include <string_view>

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

// The single-byte encodings the program's files declare: project and
// settings files "Windows-1252", image playlists "iso-8859-1".
enum class Charset { windows1252, latin1 };

// A string value for a file that declares the given encoding. The program
// holds text as UTF-8 and file names as the bytes Linux gives them; in the
// file a character of the declared encoding stands as its byte, any other
// character as a reference ("&#x3A9;"), and "&", "<" and ">" as "&amp;",
// "&lt;" and "&gt;", so that any XML reader gets the value back.
// Bytes that no character stands for (a name that is not UTF-8, control
// bytes XML cannot carry) are written as decimal references to U+EF00 plus
// the byte, the private-use block some systems use for exactly this; a real
// character of that block is written in hex. A value with non-ASCII bytes
// always holds at least one reference (its first non-ASCII character is
// written as one when nothing else is), which is how DecodeValue tells it
// from a value written by an older version.
std::string EncodeValue(std::string_view text, Charset charset);

// The value as EncodeValue wrote it. A value with no reference in it whose
// bytes are UTF-8 was written by an older version, which wrote text as it
// stood whatever the declaration said: it is taken as it is. Any other value
// is read in the declared encoding, with its references.
std::string DecodeValue(std::string_view bytes, Charset charset);

// String values of project files: EncodeValue for Windows-1252.
std::string TextValue(const std::string& value);

// Reads a string value: the text up to the next "<" (which stays in the
// stream) decoded by DecodeValue for Windows-1252. Older versions wrapped a
// value holding "<" in CDATA sections ("]]>" split across two); such a value
// is read as it stands, without NUL characters. An unterminated CDATA
// section throws "Format error : missing ]]>".
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
