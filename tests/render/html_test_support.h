#pragma once
// Helpers for the tests of the HTML view and the index photo: one
// QGuiApplication for the whole test program, an event pump, and small
// generated pictures with known colours.
#include <QColor>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <functional>
#include <string>

namespace ombrelo::testing {

// Creates the application object on first use; it lives until the process
// ends (the tests link gtest_main, so there is no main() of ours to own it).
inline void EnsureGuiApplication() {
  if (QCoreApplication::instance()) return;
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "render_tests";
  static char* argv[] = {name, nullptr};
  new QGuiApplication(argc, argv);
}

// Runs the event loop until done() holds or maxRounds rounds have passed.
// Returns done().
inline bool PumpEventsUntil(const std::function<bool()>& done, int maxRounds = 10000) {
  for (int i = 0; i < maxRounds && !done(); ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
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
