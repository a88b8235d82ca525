#pragma once
// QImage views of loaded pictures, for the desktop program. Header-only so
// that the imaging library itself does not depend on Qt: include it from
// code that links Qt6::Gui.
#include <QColor>
#include <QImage>
#include <cstring>
#include <string>

#include "imaging/picture_loader.h"

namespace ombrelo {

// A deep copy of the bitmap: Format_BGR888 for 24-bit rows, Format_Indexed8
// with the bitmap's colour table for 8-bit rows. A null image for anything
// else or on allocation failure.
inline QImage ToQImage(const LoadedBitmap& bitmap) {
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  QImage image;
  if (bitmap.BitsPerPixel() == 24) {
    image = QImage(width, height, QImage::Format_BGR888);
  } else if (bitmap.BitsPerPixel() == 8 && bitmap.palette.size() >= 1024) {
    image = QImage(width, height, QImage::Format_Indexed8);
    if (!image.isNull()) {
      QList<QRgb> colours(256);
      for (int i = 0; i < 256; ++i) {
        const uint8_t* e = bitmap.palette.data() + 4 * i;
        colours[i] = qRgb(e[2], e[1], e[0]);
      }
      image.setColorTable(colours);
    }
  }
  if (image.isNull()) return QImage();
  const size_t bytes = static_cast<size_t>(width) * (bitmap.BitsPerPixel() / 8);
  for (int y = 0; y < height; ++y) std::memcpy(image.scanLine(y), bitmap.Row(y), bytes);
  return image;
}

// Loads a picture file straight into a QImage (null on failure). `size` as
// for PictureLoader::LoadIntoBitmap.
inline QImage LoadQImage(const std::string& path, PictureSize* size = nullptr) {
  const auto bitmap = PictureLoader::LoadIntoBitmap(path, nullptr, size);
  return bitmap ? ToQImage(*bitmap) : QImage();
}

}  // namespace ombrelo
