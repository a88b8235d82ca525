#pragma once
// The JPEG encoder path of the program: thumbnails and index photos.
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
// partial file behind (a regular file it had started is removed).
bool SaveJPG(const Picture& picture, const std::string& path, int quality, bool bottomUp);

}  // namespace ombrelo
