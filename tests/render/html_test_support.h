#pragma once
// Helpers for the tests of the HTML view and the index photo: one
// QGuiApplication for the whole test program, an event pump, and small
// generated pictures with known colours.
#include <QColor>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <string>

#include "support/gui_application.h"

namespace ombrelo::testing {

// Runs the event loop until done() holds or 10 s have passed, sleeping
// while no event comes (work on other threads posts its results). Returns
// done().
inline bool PumpEventsUntil(const std::function<bool()>& done) {
  QElapsedTimer elapsed;
  elapsed.start();
  QTimer wake;  // looks at done() now and then even when nothing is posted
  wake.start(5);
  while (!done() && elapsed.elapsed() < 10000) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return done();
}

// Runs every event that is waiting now (and those they post), a bounded
// number of rounds.
inline void PumpEvents(int rounds = 20) {
  for (int i = 0; i < rounds; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
}

// A picture of one colour with a black frame of one pixel, saved as a file
// (the format follows the extension).
inline bool WriteFramedPicture(const std::string& path, int width, int height, QColor fill,
                               int quality = 95) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(fill);
  QPainter painter(&image);
  painter.setPen(Qt::black);
  painter.drawRect(0, 0, width - 1, height - 1);
  painter.end();
  return image.save(QString::fromStdString(path), nullptr, quality);
}

// True when the pixel's channels are each within tolerance of the colour.
inline bool Near(QRgb pixel, QColor expected, int tolerance) {
  return std::abs(qRed(pixel) - expected.red()) <= tolerance &&
         std::abs(qGreen(pixel) - expected.green()) <= tolerance &&
         std::abs(qBlue(pixel) - expected.blue()) <= tolerance;
}

}  // namespace ombrelo::testing
