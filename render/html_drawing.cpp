// The container's drawing callbacks: backgrounds, borders, list markers and
// clipping, painted through the QPainter that Draw hands the layout engine.
#include <QBrush>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QRegion>
#include <QTransform>
#include <algorithm>

#include "html_container.h"
#include "html_painting.h"

namespace ombrelo {

namespace {

bool SideVisible(const litehtml::border& b) {
  return b.width > 0 && b.style != litehtml::border_style_none &&
         b.style != litehtml::border_style_hidden;
}

bool HasRadius(const litehtml::border_radiuses& r) {
  return r.top_left_x > 0 || r.top_left_y > 0 || r.top_right_x > 0 || r.top_right_y > 0 ||
         r.bottom_right_x > 0 || r.bottom_right_y > 0 || r.bottom_left_x > 0 || r.bottom_left_y > 0;
}

// A rectangle with elliptic corners of their own radii each.
QPainterPath RoundedRect(const QRectF& r, const litehtml::border_radiuses& rad) {
  auto clampX = [&](int v) { return std::clamp<qreal>(v, 0, r.width() / 2); };
  auto clampY = [&](int v) { return std::clamp<qreal>(v, 0, r.height() / 2); };
  const qreal tlx = clampX(rad.top_left_x), tly = clampY(rad.top_left_y);
  const qreal trx = clampX(rad.top_right_x), tr_y = clampY(rad.top_right_y);
  const qreal brx = clampX(rad.bottom_right_x), bry = clampY(rad.bottom_right_y);
  const qreal blx = clampX(rad.bottom_left_x), bly = clampY(rad.bottom_left_y);
  QPainterPath path;
  path.moveTo(r.left() + tlx, r.top());
  path.lineTo(r.right() - trx, r.top());
  if (trx > 0 && tr_y > 0)
    path.arcTo(QRectF(r.right() - 2 * trx, r.top(), 2 * trx, 2 * tr_y), 90, -90);
  path.lineTo(r.right(), r.bottom() - bry);
  if (brx > 0 && bry > 0)
    path.arcTo(QRectF(r.right() - 2 * brx, r.bottom() - 2 * bry, 2 * brx, 2 * bry), 0, -90);
  path.lineTo(r.left() + blx, r.bottom());
  if (blx > 0 && bly > 0)
    path.arcTo(QRectF(r.left(), r.bottom() - 2 * bly, 2 * blx, 2 * bly), 270, -90);
  path.lineTo(r.left(), r.top() + tly);
  if (tlx > 0 && tly > 0) path.arcTo(QRectF(r.left(), r.top(), 2 * tlx, 2 * tly), 180, -90);
  path.closeSubpath();
  return path;
}

litehtml::border_radiuses Shrink(litehtml::border_radiuses r, int left, int top, int right,
                                 int bottom) {
  litehtml::margins m;
  m.left = left;
  m.top = top;
  m.right = right;
  m.bottom = bottom;
  r -= m;
  return r;
}

// Shading of the three-dimensional border styles: which sides are drawn
// darker. For inset the top and left sides are the dark ones, for outset
// the bottom and right ones.
QColor Shade(const QColor& base, bool dark) {
  if (dark) return base.darker(160);
  return base.lighter(130);
}

enum class Side { kTop, kRight, kBottom, kLeft };

// The ring between two rectangles, as a clip region.
QRegion Ring(const QRect& outer, const QRect& inner) {
  QRegion region(outer);
  if (inner.isValid()) region -= QRegion(inner);
  return region;
}

// A border's geometry: the outer edges and the drawn width of each side.
struct BorderBox {
  BorderBox(const litehtml::borders& borders, const litehtml::position& pos)
      : l(SideVisible(borders.left) ? borders.left.width : 0),
        t(SideVisible(borders.top) ? borders.top.width : 0),
        r(SideVisible(borders.right) ? borders.right.width : 0),
        b(SideVisible(borders.bottom) ? borders.bottom.width : 0),
        x0(pos.x),
        y0(pos.y),
        x1(pos.x + pos.width),
        y1(pos.y + pos.height),
        inner(QPoint(x0 + l, y0 + t), QPoint(x1 - r - 1, y1 - b - 1)) {}

  // The outer rectangle with inclusive corners.
  QRect Outer() const { return QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1)); }

  // The side's trapezoid, its inner corners on the inner rectangle.
  QPolygon Polygon(Side side) const {
    switch (side) {
      case Side::kTop:
        return QPolygon(
            {QPoint(x0, y0), QPoint(x1, y0), QPoint(x1 - r, y0 + t), QPoint(x0 + l, y0 + t)});
      case Side::kRight:
        return QPolygon(
            {QPoint(x1, y0), QPoint(x1, y1), QPoint(x1 - r, y1 - b), QPoint(x1 - r, y0 + t)});
      case Side::kBottom:
        return QPolygon(
            {QPoint(x1, y1), QPoint(x0, y1), QPoint(x0 + l, y1 - b), QPoint(x1 - r, y1 - b)});
      case Side::kLeft:
        break;
    }
    return QPolygon(
        {QPoint(x0, y1), QPoint(x0, y0), QPoint(x0 + l, y0 + t), QPoint(x0 + l, y1 - b)});
  }

  int l, t, r, b;
  int x0, y0, x1, y1;
  QRect inner;
};

// One solid colour and width all round.
bool UniformSolid(const litehtml::borders& borders, const BorderBox& box) {
  const litehtml::border* sides[] = {&borders.top, &borders.right, &borders.bottom};
  for (const litehtml::border* side : sides) {
    if (side->style != borders.left.style || ToQColor(side->color) != ToQColor(borders.left.color))
      return false;
  }
  return box.l == box.t && box.t == box.r && box.r == box.b &&
         borders.left.style == litehtml::border_style_solid;
}

// Rounded corners with one solid colour all round: one ring.
void DrawRoundedRing(QPainter& painter, const BorderBox& box, const litehtml::borders& borders) {
  painter.setRenderHint(QPainter::Antialiasing, true);
  QPainterPath ring =
      RoundedRect(QRectF(box.x0, box.y0, box.x1 - box.x0, box.y1 - box.y0), borders.radius);
  ring.addPath(RoundedRect(QRectF(box.x0 + box.l, box.y0 + box.t, box.x1 - box.x0 - box.l - box.r,
                                  box.y1 - box.y0 - box.t - box.b),
                           Shrink(borders.radius, box.l, box.t, box.r, box.b)));
  ring.setFillRule(Qt::OddEvenFill);
  painter.fillPath(ring, ToQColor(borders.left.color));
}

// Dotted and dashed sides: a line along the middle of the side.
void DrawBrokenLine(QPainter& painter, const BorderBox& box, Side side, QColor color, int width,
                    bool dotted) {
  painter.setPen(QPen(color, width, dotted ? Qt::DotLine : Qt::DashLine, Qt::FlatCap));
  const qreal half = width / 2.0;
  switch (side) {
    case Side::kTop:
      painter.drawLine(QPointF(box.x0, box.y0 + half), QPointF(box.x1, box.y0 + half));
      break;
    case Side::kBottom:
      painter.drawLine(QPointF(box.x0, box.y1 - half), QPointF(box.x1, box.y1 - half));
      break;
    case Side::kLeft:
      painter.drawLine(QPointF(box.x0 + half, box.y0), QPointF(box.x0 + half, box.y1));
      break;
    case Side::kRight:
      painter.drawLine(QPointF(box.x1 - half, box.y0), QPointF(box.x1 - half, box.y1));
      break;
  }
}

// Double sides: two lines of a third of the width each, the gap between
// them left open.
QRegion DoubleLines(const BorderBox& box) {
  auto third = [](int width) { return width > 0 ? std::max(1, width / 3) : 0; };
  const QRect outer = box.Outer();
  const QRect outerInner = outer.adjusted(third(box.l), third(box.t), -third(box.r), -third(box.b));
  const QRect innerOuter =
      box.inner.adjusted(-third(box.l), -third(box.t), third(box.r), third(box.b));
  return Ring(outer, outerInner) + Ring(innerOuter, box.inner);
}

void DrawBorderSide(QPainter& painter, const BorderBox& box, Side side,
                    const litehtml::border& border, int width) {
  if (width <= 0) return;
  const QColor color = ToQColor(border.color);
  const QPolygon polygon = box.Polygon(side);
  // For inset the top and left sides are the dark ones, for outset the
  // bottom and right ones.
  const bool darkSide = side == Side::kTop || side == Side::kLeft;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(Qt::NoPen);
  switch (border.style) {
    case litehtml::border_style_dotted:
    case litehtml::border_style_dashed:
      DrawBrokenLine(painter, box, side, color, width,
                     border.style == litehtml::border_style_dotted);
      break;
    case litehtml::border_style_double:
      painter.setClipRegion(DoubleLines(box), Qt::IntersectClip);
      painter.setBrush(color);
      painter.drawPolygon(polygon);
      break;
    case litehtml::border_style_inset:
    case litehtml::border_style_outset:
      painter.setBrush(Shade(color, (border.style == litehtml::border_style_inset) == darkSide));
      painter.drawPolygon(polygon);
      break;
    case litehtml::border_style_groove:
    case litehtml::border_style_ridge: {
      // Outer half shaded like inset (groove) or outset (ridge), inner half
      // the other way round.
      const QRect middle = box.Outer().adjusted(box.l / 2, box.t / 2, -(box.r / 2), -(box.b / 2));
      const bool outerDark = (border.style == litehtml::border_style_groove) == darkSide;
      painter.save();
      painter.setClipRegion(Ring(box.Outer(), middle), Qt::IntersectClip);
      painter.setBrush(Shade(color, outerDark));
      painter.drawPolygon(polygon);
      painter.restore();
      painter.setClipRegion(Ring(middle, box.inner), Qt::IntersectClip);
      painter.setBrush(Shade(color, !outerDark));
      painter.drawPolygon(polygon);
      break;
    }
    default:  // solid
      painter.setBrush(color);
      painter.drawPolygon(polygon);
      break;
  }
  painter.restore();
}

}  // namespace

// ---- drawing ---------------------------------------------------------------

void QtHtmlContainer::draw_list_marker(litehtml::uint_ptr hdc,
                                       const litehtml::list_marker& marker) {
  QPainter* painter = AsPainter(hdc);
  if (!painter) return;
  const QRect box = ToQRect(marker.pos);
  if (!marker.image.empty()) {
    ImageSlot* slot = FindImage(Resolve(marker.image.c_str(), marker.baseurl));
    const QImage image = slot ? ImageAtSize(*slot, slot->size) : QImage();
    if (!image.isNull()) {
      painter->drawImage(box.topLeft(), image);
      return;
    }
  }
  if (box.width() <= 0 || box.height() <= 0) return;
  const QColor color = ToQColor(marker.color);
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing, true);
  switch (marker.marker_type) {
    case litehtml::list_style_type_none:
      break;
    case litehtml::list_style_type_circle:
      painter->setPen(QPen(color, 1));
      painter->setBrush(Qt::NoBrush);
      painter->drawEllipse(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5));
      break;
    case litehtml::list_style_type_square:
      painter->fillRect(box, color);
      break;
    default:  // disc, and the numbered styles the engine has no text for
      painter->setPen(Qt::NoPen);
      painter->setBrush(color);
      painter->drawEllipse(QRectF(box));
      break;
  }
  painter->restore();
}

void QtHtmlContainer::DrawImage(QPainter& painter, ImageSlot& slot,
                                const litehtml::background_paint& bg, const QRect& area) {
  const int w = bg.image_size.width;
  const int h = bg.image_size.height;
  if (w <= 0 || h <= 0 || !slot.Readable()) return;
  const QPoint origin(bg.position_x, bg.position_y);
  if (bg.repeat == litehtml::background_repeat_no_repeat) {
    // Decoded at the size it reaches the picture with (a sheet drawn
    // reduced needs no more pixels than it shows).
    const QTransform& t = painter.transform();
    const QSize device(std::max(1, qRound(w * t.m11())), std::max(1, qRound(h * t.m22())));
    const QImage& image = ImageAtSize(slot, device);
    if (image.isNull()) return;
    if (device == QSize(w, h)) {
      painter.drawImage(origin, image);
    } else {
      painter.drawImage(QRectF(origin, QSizeF(w, h)), image);
    }
    return;
  }
  const QImage& image = ImageAtSize(slot, QSize(w, h));
  if (image.isNull()) return;
  QBrush brush(image);
  brush.setTransform(QTransform::fromTranslate(origin.x(), origin.y()));
  QRect fill = area;
  if (bg.repeat == litehtml::background_repeat_repeat_x) {
    fill &= QRect(area.x(), origin.y(), area.width(), h);
  } else if (bg.repeat == litehtml::background_repeat_repeat_y) {
    fill &= QRect(origin.x(), area.y(), w, area.height());
  }
  if (!fill.isEmpty()) painter.fillRect(fill, brush);
}

void QtHtmlContainer::draw_background(litehtml::uint_ptr hdc,
                                      const litehtml::background_paint& bg) {
  QPainter* painter = AsPainter(hdc);
  if (!painter) return;
  painter->save();
  // The root's background is the canvas: it covers the whole visible area,
  // not only the root element's box.
  QRect area = ToQRect(bg.clip_box);
  if (bg.is_root) {
    area = painter->hasClipping() ? painter->clipBoundingRect().toAlignedRect()
                                  : QRect(0, 0, viewportWidth_, viewportHeight_);
  } else if (HasRadius(bg.border_radius)) {
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setClipPath(RoundedRect(QRectF(ToQRect(bg.border_box)), bg.border_radius),
                         Qt::IntersectClip);
    painter->setClipRect(area, Qt::IntersectClip);
  } else {
    painter->setClipRect(area, Qt::IntersectClip);
  }
  if (bg.color.alpha > 0) painter->fillRect(area, ToQColor(bg.color));
  if (!bg.image.empty()) {
    ImageSlot* slot = FindImage(Resolve(bg.image.c_str(), bg.baseurl.c_str()));
    if (slot && slot->loaded) DrawImage(*painter, *slot, bg, area);
  }
  painter->restore();
}

void QtHtmlContainer::draw_borders(litehtml::uint_ptr hdc, const litehtml::borders& borders,
                                   const litehtml::position& draw_pos, bool /*root*/) {
  QPainter* painter = AsPainter(hdc);
  if (!painter) return;
  const BorderBox box(borders, draw_pos);
  if (box.l == 0 && box.t == 0 && box.r == 0 && box.b == 0) return;
  painter->save();
  if (HasRadius(borders.radius) && UniformSolid(borders, box)) {
    DrawRoundedRing(*painter, box, borders);
  } else {
    DrawBorderSide(*painter, box, Side::kTop, borders.top, box.t);
    DrawBorderSide(*painter, box, Side::kRight, borders.right, box.r);
    DrawBorderSide(*painter, box, Side::kBottom, borders.bottom, box.b);
    DrawBorderSide(*painter, box, Side::kLeft, borders.left, box.l);
  }
  painter->restore();
}

void QtHtmlContainer::set_clip(const litehtml::position& pos,
                               const litehtml::border_radiuses& bdr_radius, bool valid_x,
                               bool valid_y) {
  if (!painter_) return;
  painter_->save();
  ++clipDepth_;
  constexpr int kFar = 1 << 24;
  QRect rect = ToQRect(pos);
  if (!valid_x) rect.setCoords(-kFar, rect.top(), kFar, rect.bottom());
  if (!valid_y) rect.setCoords(rect.left(), -kFar, rect.right(), kFar);
  if (valid_x && valid_y && HasRadius(bdr_radius)) {
    painter_->setClipPath(RoundedRect(QRectF(rect), bdr_radius), Qt::IntersectClip);
  } else {
    painter_->setClipRect(rect, Qt::IntersectClip);
  }
}

void QtHtmlContainer::del_clip() {
  if (!painter_ || clipDepth_ == 0) return;
  painter_->restore();
  --clipDepth_;
}

}  // namespace ombrelo
