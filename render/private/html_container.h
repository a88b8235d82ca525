#pragma once
// Internal to render/: the document container that lets the layout engine
// measure text with Qt's fonts and draw through a QPainter. It knows nothing
// about navigation; the images and style sheets a page asks for are handed
// to the subclass (HtmlView), which decides when they arrive.
//
// Private to the render library (its own include path, not the public one):
// the layout engine's headers stay out of the library's interface.
#ifndef OMBRELO_RENDER_LIBRARY
#error "html_container.h is private to the render library"
#endif
#include <litehtml/litehtml.h>

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QUrl>
#include <map>
#include <string>

class QPainter;

namespace ombrelo {

class QtHtmlContainer : public litehtml::document_container {
 public:
  QtHtmlContainer();
  QtHtmlContainer(const QtHtmlContainer&) = delete;
  QtHtmlContainer& operator=(const QtHtmlContainer&) = delete;
  virtual ~QtHtmlContainer();

  // Size of the visible area in pixels (layout width, media queries,
  // viewport units and the canvas that the root background fills).
  void SetViewportSize(int width, int height);
  int ViewportWidth() const { return viewportWidth_; }
  int ViewportHeight() const { return viewportHeight_; }

  // The URL relative references of the page are resolved against: the
  // page's own URL, replaced by a <base href> when the page has one.
  void SetDocumentUrl(const QUrl& url);
  const QUrl& BaseUrl() const { return baseUrl_; }

  // Resolves a reference of the document. An empty base means the page's
  // base URL; style sheets pass their own URL as base.
  QUrl Resolve(const char* reference, const char* base) const;

  // Image store, keyed by resolved URL. An image is "requested" the first
  // time the document asks for it and "stored" when its file has been found:
  // only its size is read then (the layout needs it). Its pixels are decoded
  // when it is drawn, at the size it is drawn at, and kept until
  // ReleaseDrawnImages. A file that cannot be read stores no picture.
  void StoreImage(const QUrl& url, const QString& localFile);
  void ClearImages();
  // Drops the decoded pixels of every image (the index photo does so after
  // each band, so that the thumbnails are never all in memory at once).
  void ReleaseDrawnImages();

  // Draws the document with its origin at (x, y) of the painter; clip is in
  // painter coordinates. The painter is used by the callbacks while this
  // runs.
  void Draw(litehtml::document& document, QPainter& painter, int x, int y, const QRect& clip);

  // Text of the <title> element, as the document reported it.
  const std::string& Caption() const { return caption_; }

 protected:
  // Called once per URL, the first time the document asks for an image.
  virtual void ImageRequested(const QUrl& url) = 0;
  // Called for every style sheet the document links or imports; returns the
  // style sheet's text ("" when it cannot be read).
  virtual std::string StylesheetRequested(const QUrl& url) = 0;
  // The document's title changed.
  virtual void CaptionChanged(const std::string& caption) { (void)caption; }
  // A link was clicked (on-screen use).
  virtual void AnchorClicked(const std::string& url) { (void)url; }

  // litehtml::document_container
  litehtml::uint_ptr create_font(const litehtml::tchar_t* faceName, int size, int weight,
                                 litehtml::font_style italic, unsigned int decoration,
                                 litehtml::font_metrics* fm) override;
  void delete_font(litehtml::uint_ptr hFont) override;
  int text_width(const litehtml::tchar_t* text, litehtml::uint_ptr hFont) override;
  void draw_text(litehtml::uint_ptr hdc, const litehtml::tchar_t* text, litehtml::uint_ptr hFont,
                 litehtml::web_color color, const litehtml::position& pos) override;
  int pt_to_px(int pt) const override;
  int get_default_font_size() const override;
  const litehtml::tchar_t* get_default_font_name() const override;
  void draw_list_marker(litehtml::uint_ptr hdc, const litehtml::list_marker& marker) override;
  void load_image(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl,
                  bool redraw_on_ready) override;
  void get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl,
                      litehtml::size& sz) override;
  void draw_background(litehtml::uint_ptr hdc, const litehtml::background_paint& bg) override;
  void draw_borders(litehtml::uint_ptr hdc, const litehtml::borders& borders,
                    const litehtml::position& draw_pos, bool root) override;
  void set_caption(const litehtml::tchar_t* caption) override;
  void set_base_url(const litehtml::tchar_t* base_url) override;
  void link(const std::shared_ptr<litehtml::document>& doc,
            const litehtml::element::ptr& el) override;
  void on_anchor_click(const litehtml::tchar_t* url, const litehtml::element::ptr& el) override;
  void set_cursor(const litehtml::tchar_t* cursor) override;
  void transform_text(litehtml::tstring& text, litehtml::text_transform tt) override;
  void import_css(litehtml::tstring& text, const litehtml::tstring& url,
                  litehtml::tstring& baseurl) override;
  void set_clip(const litehtml::position& pos, const litehtml::border_radiuses& bdr_radius,
                bool valid_x, bool valid_y) override;
  void del_clip() override;
  void get_client_rect(litehtml::position& client) const override;
  std::shared_ptr<litehtml::element> create_element(
      const litehtml::tchar_t* tag_name, const litehtml::string_map& attributes,
      const std::shared_ptr<litehtml::document>& doc) override;
  void get_media_features(litehtml::media_features& media) const override;
  void get_language(litehtml::tstring& language, litehtml::tstring& culture) const override;

 private:
  struct ImageSlot {
    bool loaded = false;
    QString file;  // the local file the picture is decoded from
    QSize size;    // in the file; not valid when the file cannot be read
    bool jpeg = false;
    // The picture decoded at the size it was last drawn at. Pictures are
    // decoded to one size and then drawn pixel for pixel, so that a page
    // drawn in bands matches the page drawn at once.
    QImage drawn;

    bool Readable() const { return loaded && size.isValid() && !size.isEmpty(); }
  };

  const ImageSlot* FindImage(const QUrl& url) const;
  ImageSlot* FindImage(const QUrl& url);
  // The slot's picture at the given size (null when it cannot be decoded).
  static const QImage& ImageAtSize(ImageSlot& slot, QSize size);
  void DrawImage(QPainter& painter, ImageSlot& slot, const litehtml::background_paint& bg,
                 const QRect& area);

  int viewportWidth_ = 0;
  int viewportHeight_ = 0;
  QUrl documentUrl_;
  QUrl baseUrl_;
  std::string caption_;
  std::map<QString, ImageSlot> images_;
  QPainter* painter_ = nullptr;  // only while Draw runs
  int clipDepth_ = 0;            // set_clip calls not yet undone by del_clip
};

}  // namespace ombrelo
