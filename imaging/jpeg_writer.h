#pragma once
// The JPEG encoder path of the program: thumbnails and index photos.
#include <memory>
#include <string>

#include "imaging/picture.h"

namespace ombrelo {

// Writes `picture` (16, 24 or 32 bits per pixel) to `path` as a baseline JPEG
// of the given quality (1 to 100, handed to the encoder unchanged). When
// bottomUp is true, row 0 in memory is the last image row (a bitmap of
// positive height). 24- and 32-bit pixels are in bitmap byte order (blue,
// green, red); 16-bit pixels follow the picture's greenBits (5: 5-5-5, else
// 5-6-5).
//
// Returns true only when the whole file was written and closed. On any
// failure (unsupported depth, file cannot be created, encoder or write error
// such as a full disk) it returns false, writes a debug line, and leaves no
// partial file behind. The bytes go to a hidden file beside the path, which
// takes the path's place only once complete: a file that was there stays
// as it was after a failure, and is never seen half written. A symbolic
// link at the path is replaced by the picture, never written through; a
// device, pipe or folder there makes it fail.
bool SaveJPG(const Picture& picture, const std::string& path, int quality, bool bottomUp);

// A JPEG written band by band, for pictures that are never whole in memory
// (the index photo): Open with the size of the whole picture, hand over its
// rows from the top in as many WriteRows calls as suit, then Finish. Failures
// are reported as SaveJPG's are, and leave no partial file; after one, every
// further call fails at once. The error code (errno, or the encoder's message
// number) and a text say why.
class JpegStreamWriter {
 public:
  JpegStreamWriter();
  ~JpegStreamWriter();  // an unfinished file is removed
  JpegStreamWriter(const JpegStreamWriter&) = delete;
  JpegStreamWriter& operator=(const JpegStreamWriter&) = delete;

  bool Open(const std::string& path, int width, int height, int quality);
  // The next rows of the picture, top row first in memory: `rows` describes
  // them as SaveJPG's picture (width of the whole picture; height = rows
  // handed over). Rows past the picture's height are a failure.
  bool WriteRows(const Picture& rows);
  // True once every row has been written and the file is closed.
  bool Finish();

  int ErrorCode() const { return errorCode_; }
  const std::string& ErrorText() const { return errorText_; }

 private:
  struct Encoder;
  bool Fail(int code, const std::string& text);
  void Abandon();

  std::unique_ptr<Encoder> encoder_;
  std::string path_;
  int errorCode_ = 0;
  std::string errorText_;
};

}  // namespace ombrelo
