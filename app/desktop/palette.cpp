#include "app/desktop/palette.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QStyleFactory>

namespace ombrelo::desktop {

QColor Blend(const QColor& from, const QColor& to, double amount) {
  const QColor a = from.toRgb();
  const QColor b = to.toRgb();
  const auto mix = [amount](double x, double y) { return x + (y - x) * amount; };
  return QColor::fromRgbF(float(mix(a.redF(), b.redF())), float(mix(a.greenF(), b.greenF())),
                          float(mix(a.blueF(), b.blueF())), float(mix(a.alphaF(), b.alphaF())));
}

bool IsDark(const QPalette& palette) {
  return palette.color(QPalette::Window).lightness() <
         palette.color(QPalette::WindowText).lightness();
}

QPalette DarkPalette() {
  const QColor window(53, 53, 53);
  const QColor base(35, 35, 35);
  const QColor text(225, 225, 225);
  const QColor disabled(127, 127, 127);
  QPalette p;
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, QColor(45, 45, 45));
  p.setColor(QPalette::ToolTipBase, base);
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, window);
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::BrightText, QColor(255, 90, 90));
  p.setColor(QPalette::Light, QColor(80, 80, 80));
  p.setColor(QPalette::Midlight, QColor(66, 66, 66));
  p.setColor(QPalette::Mid, QColor(40, 40, 40));
  p.setColor(QPalette::Dark, QColor(30, 30, 30));
  p.setColor(QPalette::Shadow, QColor(15, 15, 15));
  p.setColor(QPalette::Link, QColor(100, 160, 240));
  p.setColor(QPalette::LinkVisited, QColor(170, 130, 230));
  p.setColor(QPalette::Highlight, QColor(42, 130, 218));
  p.setColor(QPalette::HighlightedText, Qt::white);
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, disabled);
  p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(80, 80, 80));
  return p;
}

namespace {

// The desktop's wish for a dark scheme, as the desktop portal tells it
// ("color-scheme" 1); false without a portal or when it does not answer.
bool DesktopPrefersDark() {
  QDBusInterface portal(QStringLiteral("org.freedesktop.portal.Desktop"),
                        QStringLiteral("/org/freedesktop/portal/desktop"),
                        QStringLiteral("org.freedesktop.portal.Settings"));
  if (!portal.isValid()) return false;
  portal.setTimeout(500);
  const QDBusReply<QVariant> reply =
      portal.call(QStringLiteral("Read"), QStringLiteral("org.freedesktop.appearance"),
                  QStringLiteral("color-scheme"));
  if (!reply.isValid()) return false;
  // The value comes wrapped in a variant, at times twice.
  QVariant value = reply.value();
  while (value.canConvert<QDBusVariant>()) value = value.value<QDBusVariant>().variant();
  return value.toUInt() == 1;
}

}  // namespace

namespace {

// Paints the shape of another icon in the palette's button text colour.
class PaletteIconEngine : public QIconEngine {
 public:
  explicit PaletteIconEngine(QIcon shape) : shape_(std::move(shape)) {}

  QIconEngine* clone() const override { return new PaletteIconEngine(shape_); }

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, state, scale));
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return scaledPixmap(size, mode, state, 1.0);
  }

  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                       qreal scale) override {
    // Only the shape's coverage is kept; the colour is the palette's.
    QPixmap pixmap = shape_.pixmap(size, scale, QIcon::Normal, state);
    if (pixmap.isNull()) return pixmap;
    const QPalette::ColorGroup group =
        mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active;
    QPainter tint(&pixmap);
    tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
    tint.fillRect(QRect(QPoint(), pixmap.size()),
                  QGuiApplication::palette().color(group, QPalette::ButtonText));
    return pixmap;
  }

  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return shape_.actualSize(size, mode, state);
  }

  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    return shape_.availableSizes(mode, state);
  }

 private:
  QIcon shape_;
};

}  // namespace

QIcon PaletteIcon(const QIcon& shape) { return QIcon(new PaletteIconEngine(shape)); }

void ApplyColorSchemeFromEnvironment() {
  QByteArray scheme = qgetenv("OMBRELO_COLOR_SCHEME").toLower();
  // A desktop that wants dark but whose style gives a light palette (no
  // platform theme that follows it): Fusion in dark.
  if (scheme.isEmpty() && !IsDark(QApplication::palette()) && DesktopPrefersDark()) scheme = "dark";
  if (scheme != "dark" && scheme != "light") return;
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QApplication::setPalette(scheme == "dark" ? DarkPalette()
                                            : QApplication::style()->standardPalette());
}

namespace {

// Sets the view's selection colours as its focus changes, and anew when the
// palette it inherits changes.
class FocusSelection : public QObject {
 public:
  explicit FocusSelection(QAbstractItemView* view) : QObject(view), view_(view) { Apply(); }

  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::FocusIn:
      case QEvent::FocusOut:
      case QEvent::ApplicationPaletteChange:
      case QEvent::PaletteChange:
      case QEvent::ParentChange:
        if (!applying_) Apply();
        break;
      default:
        break;
    }
    return false;
  }

 private:
  void Apply() {
    applying_ = true;
    const QPalette from =
        view_->parentWidget() ? view_->parentWidget()->palette() : QApplication::palette(view_);
    QColor highlight = from.color(QPalette::Active, QPalette::Highlight);
    QColor highlightedText = from.color(QPalette::Active, QPalette::HighlightedText);
    if (!view_->hasFocus()) {
      highlight = Blend(from.color(QPalette::Active, QPalette::Base), highlight, 0.3);
      highlightedText = from.color(QPalette::Active, QPalette::Text);
    }
    QPalette p = view_->palette();
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, highlightedText);
    view_->setPalette(p);
    applying_ = false;
  }

  QAbstractItemView* view_;
  bool applying_ = false;
};

}  // namespace

void ShowFocusInSelection(QAbstractItemView* view) {
  view->installEventFilter(new FocusSelection(view));
}

}  // namespace ombrelo::desktop
