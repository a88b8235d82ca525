#pragma once
// Internal to render/: conversions between the layout engine's drawing types
// and Qt's, shared by the container's text and drawing callbacks.
#ifndef OMBRELO_RENDER_LIBRARY
#error "html_painting.h is private to the render library"
#endif
#include <litehtml/litehtml.h>

#include <QColor>
#include <QPainter>
#include <QRect>

namespace ombrelo {

// The device context the layout engine hands back is the painter Draw gave it.
inline QPainter* AsPainter(litehtml::uint_ptr hdc) { return reinterpret_cast<QPainter*>(hdc); }

inline QColor ToQColor(const litehtml::web_color& c) {
  return QColor(c.red, c.green, c.blue, c.alpha);
}

inline QRect ToQRect(const litehtml::position& p) { return QRect(p.x, p.y, p.width, p.height); }

}  // namespace ombrelo
