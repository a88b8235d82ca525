#include "html_container.h"

#include <litehtml/el_td.h>

#include <QFont>
#include <QFontMetrics>
#include <QImageReader>
#include <QPainter>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <memory>

#include "html_painting.h"
#include "imaging/qimage_bitmap.h"

namespace ombrelo {

namespace {

// Pixels per inch of the view. Fixed rather than taken from a screen so that
// an index photo looks the same on every machine and offscreen.
constexpr int kDotsPerInch = 96;
constexpr int kDefaultFontSize = 16;
constexpr char kDefaultFontName[] = "serif";

// A font as handed to the layout engine: the Qt font and the metrics the
// text is placed with.
struct FontHandle {
  QFont font;
  int ascent = 0;
  int descent = 0;
};

FontHandle* AsFont(litehtml::uint_ptr handle) { return reinterpret_cast<FontHandle*>(handle); }

// "Arial, 'Helvetica Neue', sans-serif" -> the family names in order, and
// the style hint of the first generic family among them.
QStringList ParseFamilies(const char* faceName, QFont::StyleHint* hint) {
  QStringList families;
  *hint = QFont::AnyStyle;
  bool hintSet = false;
  const QStringList parts = QString::fromUtf8(faceName ? faceName : "").split(QLatin1Char(','));
  for (QString part : parts) {
    part = part.trimmed();
    if (part.size() >= 2 &&
        (part.front() == QLatin1Char('"') || part.front() == QLatin1Char('\'')) &&
        part.back() == part.front()) {
      part = part.mid(1, part.size() - 2).trimmed();
    }
    if (part.isEmpty()) continue;
    const QString lower = part.toLower();
    QFont::StyleHint generic = QFont::AnyStyle;
    if (lower == QLatin1String("serif")) {
      generic = QFont::Serif;
    } else if (lower == QLatin1String("sans-serif")) {
      generic = QFont::SansSerif;
    } else if (lower == QLatin1String("monospace")) {
      generic = QFont::Monospace;
    } else if (lower == QLatin1String("cursive")) {
      generic = QFont::Cursive;
    } else if (lower == QLatin1String("fantasy")) {
      generic = QFont::Fantasy;
    }
    if (generic != QFont::AnyStyle && !hintSet) {
      *hint = generic;
      hintSet = true;
    }
    families << part;
  }
  return families;
}

// A table cell that also honours the "cellpadding" attribute of its table,
// as a presentational hint: author styles still override it.
class TableCell : public litehtml::el_td {
 public:
  using litehtml::el_td::el_td;

  void parse_attributes() override {
    for (litehtml::element::ptr p = parent(); p; p = p->parent()) {
      const char* tag = p->get_tagName();
      if (!tag || litehtml::t_strcasecmp(tag, "table") != 0) continue;
      const char* padding = p->get_attr("cellpadding");
      if (padding && *padding && std::all_of(padding, padding + std::strlen(padding), [](char c) {
            return c >= '0' && c <= '9';
          })) {
        const std::string value = std::string(padding) + "px";
        m_style.add_property("padding", value.c_str(), "", false, this);
      }
      break;
    }
    litehtml::el_td::parse_attributes();
  }
};

}  // namespace

QtHtmlContainer::QtHtmlContainer() = default;
QtHtmlContainer::~QtHtmlContainer() = default;

void QtHtmlContainer::SetViewportSize(int width, int height) {
  viewportWidth_ = std::max(0, width);
  viewportHeight_ = std::max(0, height);
}

void QtHtmlContainer::SetDocumentUrl(const QUrl& url) {
  documentUrl_ = url;
  baseUrl_ = url;
  caption_.clear();
}

QUrl QtHtmlContainer::Resolve(const char* reference, const char* base) const {
  const QUrl ref(QString::fromUtf8(reference ? reference : "").trimmed(), QUrl::TolerantMode);
  QUrl from = baseUrl_;
  if (base && *base) from = baseUrl_.resolved(QUrl(QString::fromUtf8(base), QUrl::TolerantMode));
  return from.resolved(ref);
}

void QtHtmlContainer::StoreImage(const QUrl& url, const QString& localFile) {
  ImageSlot& slot = images_[url.toString(QUrl::FullyEncoded)];
  slot.loaded = true;
  slot.file = localFile;
  slot.drawn = QImage();
  slot.size = QSize();
  if (localFile.isEmpty()) return;
  QImageReader reader(localFile);
  slot.size = reader.size();
  slot.jpeg = reader.format() == "jpeg";
  if (!slot.size.isValid() && reader.canRead()) slot.size = reader.read().size();
}

void QtHtmlContainer::ReleaseDrawnImages() {
  for (auto& entry : images_) entry.second.drawn = QImage();
}

void QtHtmlContainer::ClearImages() { images_.clear(); }

const QtHtmlContainer::ImageSlot* QtHtmlContainer::FindImage(const QUrl& url) const {
  auto it = images_.find(url.toString(QUrl::FullyEncoded));
  return it == images_.end() ? nullptr : &it->second;
}

QtHtmlContainer::ImageSlot* QtHtmlContainer::FindImage(const QUrl& url) {
  auto it = images_.find(url.toString(QUrl::FullyEncoded));
  return it == images_.end() ? nullptr : &it->second;
}

const QImage& QtHtmlContainer::ImageAtSize(ImageSlot& slot, QSize size) {
  if (!slot.Readable() || size.isEmpty() || slot.drawn.size() == size) return slot.drawn;
  QImage image;
  if (slot.jpeg) {
    // The decoder reduces a large JPEG by 1/2, 1/4 or 1/8 on its own when
    // the size allows, which is what keeps a sheet of large frames cheap.
    PictureSize request{size.width(), size.height()};
    image = LoadQImage(slot.file.toStdString(), &request);
  }
  if (image.isNull()) image = QImageReader(slot.file).read();
  if (!image.isNull() && image.size() != size) {
    image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  slot.drawn = image;
  return slot.drawn;
}

void QtHtmlContainer::Draw(litehtml::document& document, QPainter& painter, int x, int y,
                           const QRect& clip) {
  painter.save();
  painter.setClipRect(clip);
  painter_ = &painter;
  clipDepth_ = 0;
  const litehtml::position clipPos(clip.x(), clip.y(), clip.width(), clip.height());
  document.draw(reinterpret_cast<litehtml::uint_ptr>(&painter), x, y, &clipPos);
  while (clipDepth_ > 0) {  // a clip the document did not take back
    painter.restore();
    --clipDepth_;
  }
  painter_ = nullptr;
  painter.restore();
}

// ---- fonts and text --------------------------------------------------------

litehtml::uint_ptr QtHtmlContainer::create_font(const litehtml::tchar_t* faceName, int size,
                                                int weight, litehtml::font_style italic,
                                                unsigned int decoration,
                                                litehtml::font_metrics* fm) {
  auto handle = std::make_unique<FontHandle>();
  QFont::StyleHint hint = QFont::AnyStyle;
  QStringList families = ParseFamilies(faceName, &hint);
  if (families.isEmpty()) families << QString::fromLatin1(kDefaultFontName);
  QFont& font = handle->font;
  font.setFamilies(families);
  font.setStyleHint(hint);
  font.setPixelSize(std::max(1, size));
  font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
  font.setItalic(italic == litehtml::fontStyleItalic);
  font.setUnderline((decoration & litehtml::font_decoration_underline) != 0);
  font.setStrikeOut((decoration & litehtml::font_decoration_linethrough) != 0);
  font.setOverline((decoration & litehtml::font_decoration_overline) != 0);
  font.setKerning(true);

  const QFontMetrics metrics(font);
  handle->ascent = metrics.ascent();
  handle->descent = metrics.descent();
  if (fm) {
    fm->ascent = handle->ascent;
    fm->descent = handle->descent;
    fm->height = handle->ascent + handle->descent;
    fm->x_height = metrics.xHeight();
    // Decorated text is drawn with its blanks so that an underline runs on.
    fm->draw_spaces = italic == litehtml::fontStyleItalic || decoration != 0;
  }
  return reinterpret_cast<litehtml::uint_ptr>(handle.release());
}

void QtHtmlContainer::delete_font(litehtml::uint_ptr hFont) { delete AsFont(hFont); }

int QtHtmlContainer::text_width(const litehtml::tchar_t* text, litehtml::uint_ptr hFont) {
  const FontHandle* font = AsFont(hFont);
  if (!font || !text) return 0;
  return QFontMetrics(font->font).horizontalAdvance(QString::fromUtf8(text));
}

void QtHtmlContainer::draw_text(litehtml::uint_ptr hdc, const litehtml::tchar_t* text,
                                litehtml::uint_ptr hFont, litehtml::web_color color,
                                const litehtml::position& pos) {
  QPainter* painter = AsPainter(hdc);
  const FontHandle* font = AsFont(hFont);
  if (!painter || !font || !text) return;
  painter->setFont(font->font);
  painter->setPen(ToQColor(color));
  painter->drawText(QPoint(pos.x, pos.bottom() - font->descent), QString::fromUtf8(text));
}

int QtHtmlContainer::pt_to_px(int pt) const { return (pt * kDotsPerInch + 36) / 72; }

int QtHtmlContainer::get_default_font_size() const { return kDefaultFontSize; }

const litehtml::tchar_t* QtHtmlContainer::get_default_font_name() const { return kDefaultFontName; }

void QtHtmlContainer::transform_text(litehtml::tstring& text, litehtml::text_transform tt) {
  QString s = QString::fromUtf8(text.c_str());
  switch (tt) {
    case litehtml::text_transform_uppercase:
      s = s.toUpper();
      break;
    case litehtml::text_transform_lowercase:
      s = s.toLower();
      break;
    case litehtml::text_transform_capitalize: {
      bool wordStart = true;
      for (QChar& c : s) {
        if (c.isSpace()) {
          wordStart = true;
        } else if (wordStart) {
          c = c.toUpper();
          wordStart = false;
        }
      }
      break;
    }
    default:
      return;
  }
  text = s.toStdString();
}

// ---- resources -------------------------------------------------------------

void QtHtmlContainer::load_image(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl,
                                 bool /*redraw_on_ready*/) {
  if (!src || !*src) return;
  const QUrl url = Resolve(src, baseurl);
  const QString key = url.toString(QUrl::FullyEncoded);
  if (images_.count(key)) return;
  images_[key] = ImageSlot{};
  ImageRequested(url);
}

void QtHtmlContainer::get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl,
                                     litehtml::size& sz) {
  sz.width = 0;
  sz.height = 0;
  if (!src || !*src) return;
  const ImageSlot* slot = FindImage(Resolve(src, baseurl));
  if (slot && slot->Readable()) {
    sz.width = slot->size.width();
    sz.height = slot->size.height();
  }
}

void QtHtmlContainer::import_css(litehtml::tstring& text, const litehtml::tstring& url,
                                 litehtml::tstring& baseurl) {
  const QUrl resolved = Resolve(url.c_str(), baseurl.c_str());
  text = StylesheetRequested(resolved);
  baseurl = resolved.toString(QUrl::FullyEncoded).toStdString();
}

// ---- document --------------------------------------------------------------

void QtHtmlContainer::set_caption(const litehtml::tchar_t* caption) {
  caption_ = caption ? caption : "";
  CaptionChanged(caption_);
}

void QtHtmlContainer::set_base_url(const litehtml::tchar_t* base_url) {
  if (base_url && *base_url)
    baseUrl_ = documentUrl_.resolved(QUrl(QString::fromUtf8(base_url), QUrl::TolerantMode));
}

void QtHtmlContainer::link(const std::shared_ptr<litehtml::document>& /*doc*/,
                           const litehtml::element::ptr& /*el*/) {
  // Style sheets arrive through import_css; other links (icons, alternate
  // pages) are not needed.
}

void QtHtmlContainer::on_anchor_click(const litehtml::tchar_t* url,
                                      const litehtml::element::ptr& /*el*/) {
  if (url) AnchorClicked(Resolve(url, nullptr).toString(QUrl::FullyEncoded).toStdString());
}

void QtHtmlContainer::set_cursor(const litehtml::tchar_t* /*cursor*/) {}

void QtHtmlContainer::get_client_rect(litehtml::position& client) const {
  client = litehtml::position(0, 0, viewportWidth_, viewportHeight_);
}

std::shared_ptr<litehtml::element> QtHtmlContainer::create_element(
    const litehtml::tchar_t* tag_name, const litehtml::string_map& /*attributes*/,
    const std::shared_ptr<litehtml::document>& doc) {
  if (tag_name && (litehtml::t_strcasecmp(tag_name, "td") == 0 ||
                   litehtml::t_strcasecmp(tag_name, "th") == 0)) {
    return std::make_shared<TableCell>(doc);
  }
  return nullptr;  // the engine's own element for everything else
}

void QtHtmlContainer::get_media_features(litehtml::media_features& media) const {
  media.type = litehtml::media_type_screen;
  media.width = viewportWidth_;
  media.height = viewportHeight_;
  media.device_width = viewportWidth_;
  media.device_height = viewportHeight_;
  media.color = 8;
  media.color_index = 256;
  media.monochrome = 0;
  media.resolution = kDotsPerInch;
}

void QtHtmlContainer::get_language(litehtml::tstring& language, litehtml::tstring& culture) const {
  language = "en";
  culture.clear();
}

}  // namespace ombrelo
