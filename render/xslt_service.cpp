#include "render/xslt_service.h"

#include <libexslt/exslt.h>
#include <libxml/parser.h>
#include <libxml/uri.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>
#include <libxml/xpath.h>
#include <libxslt/documents.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>

#include "platform/data_folder.h"
#include "platform/debug_output.h"
#include "platform/paths.h"
#include "platform/translate.h"
#include "project/file_read.h"
#include "project/file_write.h"
#include "project/movie.h"
#include "project/project.h"
#include "project/template_data.h"
#include "render/read_scope.h"
#include "render/template_catalogue.h"

namespace ombrelo {
namespace {

// Documents (the stylesheet, its imports, document()) are read from local
// files; nothing a document refers to while it is parsed is: external
// entities and external DTDs are refused, so that a template cannot pull a
// local file into its output. Each document load allows the one entity load
// that opens the document itself.
thread_local int g_documentOpens = 0;  // entity loads that open a document

xmlParserInputPtr DocumentsOnlyLoader(const char* url, const char* id, xmlParserCtxtPtr ctxt) {
  if (g_documentOpens > 0) {
    --g_documentOpens;
    return xmlNoNetExternalEntityLoader(url, id, ctxt);
  }
  DebugOutputF("External entity refused: %s\n", url ? url : (id ? id : ""));
  return nullptr;
}

// Runs a document load with its one entity load allowed.
template <typename Load>
auto OpeningOneDocument(Load load) {
  g_documentOpens = 1;
  auto result = load();
  g_documentOpens = 0;
  return result;
}

xsltDocLoaderFunc g_libraryDocumentLoader = nullptr;  // set once, with the preferences

// What the transformation running on this thread may read (xsl:import,
// xsl:include, document()); nullptr outside a transformation.
thread_local const ReadScope* g_readScope = nullptr;

// The local file a URI names: a "file:" URI or a path; false for other
// schemes (which the security preferences refuse as network reads).
bool LocalPath(const xmlChar* uri, std::string* path) {
  xmlURIPtr parsed = xmlParseURI(reinterpret_cast<const char*>(uri));
  if (!parsed) {
    *path = reinterpret_cast<const char*>(uri);  // not a URI: taken as a path
    return true;
  }
  const bool local =
      !parsed->scheme || xmlStrcasecmp(BAD_CAST parsed->scheme, BAD_CAST "file") == 0;
  if (local) *path = parsed->path ? parsed->path : "";
  xmlFreeURI(parsed);
  return local;
}

// Refuses, with a debug line, a local file outside the scope or one that is
// no regular file of bounded size; the transformation goes on without it.
bool MayRead(const xmlChar* uri, xsltLoadType type) {
  std::string path;
  if (!g_readScope || !uri || !LocalPath(uri, &path)) return true;
  const uint64_t limit = type == XSLT_LOAD_DOCUMENT ? kMaxDocumentBytes : kMaxStylesheetBytes;
  std::string why;
  if (!g_readScope->Allows(path)) {
    why = "outside the readable folders";
  } else if (CheckRegularFile(path, limit, &why) != FileRead::refused) {
    return true;  // a file that cannot be opened fails as it always did
  }
  DebugOutput("Template read refused: " + path + ": " + why + "\n");
  return false;
}

xmlDocPtr DocumentLoader(const xmlChar* uri, xmlDictPtr dict, int options, void* ctxt,
                         xsltLoadType type) {
  if (!MayRead(uri, type)) return nullptr;
  return OpeningOneDocument(
      [&] { return g_libraryDocumentLoader(uri, dict, options, ctxt, type); });
}

// Process-wide set-up of the libraries, done once: the security preferences
// that every transformation runs with (also the default, which covers
// xsl:import and xsl:include while a stylesheet is compiled), and an entity
// loader that never goes to the network.
xsltSecurityPrefsPtr SecurityPrefs() {
  static xsltSecurityPrefsPtr prefs = [] {
    xmlInitParser();
    exsltRegisterAll();
    xmlSetExternalEntityLoader(DocumentsOnlyLoader);
    g_libraryDocumentLoader = xsltDocDefaultLoader;
    xsltSetLoaderFunc(DocumentLoader);
    xsltSecurityPrefsPtr p = xsltNewSecurityPrefs();
    if (p) {
      xsltSetSecurityPrefs(p, XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
      xsltSetSecurityPrefs(p, XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid);
      xsltSetSecurityPrefs(p, XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid);
      xsltSetSecurityPrefs(p, XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid);
      xsltSetDefaultSecurityPrefs(p);
    }
    return p;
  }();
  return prefs;
}

// Collects what libxml2 and libxslt would print while it lives, and keeps
// the last structured (parser) error. Restores the previous handlers.
class LibraryErrors {
 public:
  LibraryErrors()
      : oldGeneric_(xmlGenericError),
        oldGenericContext_(xmlGenericErrorContext),
        oldStructured_(xmlStructuredError),
        oldStructuredContext_(xmlStructuredErrorContext),
        oldXslt_(xsltGenericError),
        oldXsltContext_(xsltGenericErrorContext) {
    xmlSetGenericErrorFunc(this, &LibraryErrors::Generic);
    xmlSetStructuredErrorFunc(this, &LibraryErrors::Structured);
    xsltSetGenericErrorFunc(this, &LibraryErrors::Generic);
  }
  ~LibraryErrors() {
    xsltSetGenericErrorFunc(oldXsltContext_, oldXslt_);
    xmlSetStructuredErrorFunc(oldStructuredContext_, oldStructured_);
    xmlSetGenericErrorFunc(oldGenericContext_, oldGeneric_);
  }
  LibraryErrors(const LibraryErrors&) = delete;
  LibraryErrors& operator=(const LibraryErrors&) = delete;

  // Errors the libraries report (they come without a severity): counted.
  static void Generic(void* self, const char* format, ...) {
    va_list args;
    va_start(args, format);
    static_cast<LibraryErrors*>(self)->Append(format, args);
    va_end(args);
    ++static_cast<LibraryErrors*>(self)->errors_;
  }

  // What the transformation context reports: the stylesheet's own
  // xsl:message texts, which are no failure (real errors of the context
  // also set its state).
  static void Message(void* self, const char* format, ...) {
    va_list args;
    va_start(args, format);
    static_cast<LibraryErrors*>(self)->Append(format, args);
    va_end(args);
  }

  static void Structured(void* self, xmlErrorPtr error) {
    if (!error) return;
    auto* me = static_cast<LibraryErrors*>(self);
    if (error->level >= XML_ERR_ERROR) ++me->errors_;
    std::string line = error->file ? std::string(error->file) + ":" : std::string();
    line += std::to_string(error->line) + ": " + (error->message ? error->message : "");
    if (line.empty() || line.back() != '\n') line += '\n';
    me->text_ += line;
  }

  // Errors reported since the object was made.
  int Errors() const { return errors_; }
  // The first line collected and not yet flushed, without its line feed.
  std::string FirstLine() const { return text_.substr(0, text_.find('\n')); }

  // Passes the collected text on to the debug output, line by line.
  void Flush() {
    size_t start = 0;
    while (start < text_.size()) {
      size_t end = text_.find('\n', start);
      end = end == std::string::npos ? text_.size() : end + 1;
      DebugOutput(std::string_view(text_).substr(start, end - start));
      start = end;
    }
    text_.clear();
  }

 private:
  void Append(const char* format, va_list args) {
    char buffer[2048];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    text_ += buffer;
  }

  std::string text_;
  int errors_ = 0;
  xmlGenericErrorFunc oldGeneric_;
  void* oldGenericContext_;
  xmlStructuredErrorFunc oldStructured_;
  void* oldStructuredContext_;
  xmlGenericErrorFunc oldXslt_;
  void* oldXsltContext_;
};

struct DocFree {
  void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
struct ParserFree {
  void operator()(xmlParserCtxtPtr ctxt) const { xmlFreeParserCtxt(ctxt); }
};
struct StylesheetFree {
  void operator()(xsltStylesheetPtr style) const { xsltFreeStylesheet(style); }
};
struct ContextFree {
  void operator()(xsltTransformContextPtr ctxt) const { xsltFreeTransformContext(ctxt); }
};
struct XmlFree {
  void operator()(xmlChar* text) const { xmlFree(text); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;
using Parser = std::unique_ptr<xmlParserCtxt, ParserFree>;
using Stylesheet = std::unique_ptr<xsltStylesheet, StylesheetFree>;
using Context = std::unique_ptr<xsltTransformContext, ContextFree>;
using XmlText = std::unique_ptr<xmlChar, XmlFree>;

constexpr int kParseOptions = XML_PARSE_NONET;

// The parse error of the data document: line and reason.
struct ParseError {
  bool present = false;
  int line = 0;
  std::string reason;
};

// Outcome of loading the data document.
enum class XmlLoad { kLoaded, kNotWellFormed, kCallFailed };

// The data document's own URL is the file being made, so that document()
// finds the movie's outputs by the relative paths the data gives.
XmlLoad LoadXml(const std::string& xml, const std::string& base, Doc* doc, ParseError* error) {
  if (xml.size() > static_cast<size_t>(INT_MAX)) return XmlLoad::kCallFailed;
  Parser parser(xmlNewParserCtxt());
  if (!parser) return XmlLoad::kCallFailed;
  std::string url;
  if (!FileUrlFromPath(base, &url)) url = "template-data.xml";
  doc->reset(xmlCtxtReadMemory(parser.get(), xml.data(), static_cast<int>(xml.size()), url.c_str(),
                               nullptr, kParseOptions));
  if (*doc && parser->wellFormed) return XmlLoad::kLoaded;
  doc->reset();
  if (const xmlError* last = xmlCtxtGetLastError(parser.get()); last && last->code != XML_ERR_OK) {
    error->present = true;
    error->line = last->line;
    error->reason = last->message ? last->message : "";
  }
  return XmlLoad::kNotWellFormed;
}

// True when the stylesheet (relative to the application data folder) lies
// in one of the template folders, links and ".." resolved.
bool InTemplateFolders(const std::string& stylesheet) {
  const std::string path = ApplicationDataFolder() + stylesheet;
  for (TemplateKind kind : {TemplateKind::kWeb, TemplateKind::kIndex, TemplateKind::kReport}) {
    ReadScope folder;
    folder.AddFolder(ApplicationDataFolder() + TemplateFolder(kind));
    if (folder.Allows(path)) return true;
  }
  return false;
}

Stylesheet LoadStylesheet(const std::string& path) {
  std::string text;
  std::string why;
  switch (ReadRegularFile(path, kMaxStylesheetBytes, &text, &why)) {
    case FileRead::ok:
      break;
    case FileRead::refused:
      DebugOutput("Template read refused: " + path + ": " + why + "\n");
      return nullptr;
    case FileRead::cannotOpen:
    case FileRead::readFailed:
      DebugOutput("Failed to read " + path + ": " + why + "\n");
      return nullptr;
  }
  Parser parser(xmlNewParserCtxt());
  if (!parser) return nullptr;
  // Entities declared in the stylesheet's own DOCTYPE (&nbsp; and friends)
  // are replaced by their text; external ones are refused by the loader.
  Doc doc(xmlCtxtReadMemory(parser.get(), text.data(), static_cast<int>(text.size()), path.c_str(),
                            nullptr, kParseOptions | XML_PARSE_NOENT));
  if (!doc || !parser->wellFormed) return nullptr;
  // On success the stylesheet owns the document; on failure it stays ours.
  Stylesheet style(xsltParseStylesheetDoc(doc.get()));
  if (!style) return nullptr;
  doc.release();
  if (style->errors != 0) return nullptr;
  return style;
}

// The movie's outputs that the data names (web page, playlist, index photo,
// thumbnails), relative paths taken from the folder of base.
void AddMovieOutputs(xmlDocPtr doc, const std::string& base, ReadScope* scope) {
  struct ContextFree {
    void operator()(xmlXPathContextPtr c) const { xmlXPathFreeContext(c); }
  };
  struct ObjectFree {
    void operator()(xmlXPathObjectPtr o) const { xmlXPathFreeObject(o); }
  };
  std::unique_ptr<xmlXPathContext, ContextFree> context(xmlXPathNewContext(doc));
  if (!context) return;
  std::unique_ptr<xmlXPathObject, ObjectFree> found(xmlXPathEvalExpression(
      BAD_CAST "//movie/html|//movie/ipl|//movie/indexphoto|//movie/entry/file", context.get()));
  if (!found || !found->nodesetval) return;
  const std::string folder = paths::FolderOf(base);
  for (int i = 0; i < found->nodesetval->nodeNr; ++i) {
    XmlText value(xmlNodeGetContent(found->nodesetval->nodeTab[i]));
    const std::string path = value ? reinterpret_cast<const char*>(value.get()) : "";
    if (path.empty()) continue;
    if (paths::IsSeparator(path[0])) {
      scope->AddFile(path);
    } else if (!folder.empty() && paths::IsSeparator(folder[0])) {
      scope->AddFile(folder + path);
    }
  }
}

// Keeps the scope of this thread's transformation while it runs.
class ScopeInUse {
 public:
  explicit ScopeInUse(const ReadScope& scope) { g_readScope = &scope; }
  ~ScopeInUse() { g_readScope = nullptr; }
  ScopeInUse(const ScopeInUse&) = delete;
  ScopeInUse& operator=(const ScopeInUse&) = delete;
};

// Transforms for a file at base ("" when unknown). outputs receives the
// movie's outputs the data names.
bool TransformUnguarded(std::string* result, const std::string& xml, const std::string& stylesheet,
                        const std::string& base, PageFailure* failure, ReadScope* outputs) {
  xsltSecurityPrefsPtr prefs = SecurityPrefs();
  LibraryErrors errors;

  Doc doc;
  ParseError parseError;
  if (LoadXml(xml, base, &doc, &parseError) == XmlLoad::kCallFailed) {
    errors.Flush();
    *failure = {PageFailure::Kind::dataNotLoaded,
                Translate("XsltService", "Failed to load xml document for html generation")};
    return false;
  }

  // The template reads its own folder (its imports, its companion files)
  // and the movie's outputs, nothing else.
  if (doc) AddMovieOutputs(doc.get(), base, outputs);
  ReadScope scope = *outputs;
  const std::string stylesheetPath = ApplicationDataFolder() + stylesheet;
  scope.AddFolder(paths::FolderOf(stylesheetPath));
  const ScopeInUse inUse(scope);

  Stylesheet style;
  if (InTemplateFolders(stylesheet)) {
    style = LoadStylesheet(stylesheetPath);
  } else {
    DebugOutput("Template outside the template folders refused: " + stylesheet + "\n");
  }
  if (!style) {
    errors.Flush();
    *failure = {PageFailure::Kind::stylesheetNotLoaded,
                Translate("XsltService", "Failed to load xslt document for html generation")};
    return false;
  }

  bool ok = false;
  XmlText text;
  int length = 0;
  if (doc && prefs) {
    Context ctxt(xsltNewTransformContext(style.get(), doc.get()));
    if (ctxt && xsltSetCtxtSecurityPrefs(prefs, ctxt.get()) == 0) {
      xsltSetTransformErrorFunc(ctxt.get(), &errors, &LibraryErrors::Message);
      // Any error reported while the stylesheet runs (an unknown xsl:
      // element, a failed document() call) fails the page: it would miss
      // the parts that went wrong.
      const int errorsBefore = errors.Errors();
      Doc output(
          xsltApplyStylesheetUser(style.get(), doc.get(), nullptr, nullptr, nullptr, ctxt.get()));
      if (output && ctxt->state == XSLT_STATE_OK && errors.Errors() == errorsBefore) {
        xmlChar* raw = nullptr;
        ok = xsltSaveResultToString(&raw, &length, output.get(), style.get()) == 0;
        text.reset(raw);
      }
    }
  }

  // Why the transformation failed, for the movie's error.
  std::string reason = errors.FirstLine();
  errors.Flush();
  if (!ok) {
    if (parseError.present) {
      DebugOutputF("Error during xslt transform. line=%d : %s", parseError.line,
                   parseError.reason.c_str());
      DebugOutput("\n");
      DebugOutput(xml);
      reason = FillIn(Translate("XsltService", "line %1: %2"),
                      {std::to_string(parseError.line), parseError.reason});
    } else {
      DebugOutput("Error durint xslt transform\n");
    }
    *failure = {PageFailure::Kind::transformFailed,
                reason.empty() ? Translate("XsltService", "the transformation failed") : reason};
    return false;
  }
  if (text && length > 0) {
    result->assign(reinterpret_cast<const char*>(text.get()), static_cast<size_t>(length));
  } else {
    result->clear();
  }
  return true;
}

// Notes the first failure of a copy: the file and the system's reason.
void NoteCopyFailure(std::string* failure, const std::string& path, int error) {
  if (failure && failure->empty()) *failure = "'" + path + "' - " + std::strerror(error);
}

// Copies one file, replacing the target only once the copy is complete, so
// that a full disk leaves no truncated file behind.
bool CopyOneFile(const std::filesystem::path& from, const std::filesystem::path& to,
                 std::string* failure) {
  std::ifstream in(from, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) {
    NoteCopyFailure(failure, from.string(), errno != 0 ? errno : EIO);
    return false;
  }
  int error = 0;
  if (WriteFileReplacing(to.string(), bytes, &error) != WriteResult::ok) {
    NoteCopyFailure(failure, to.string(), error != 0 ? error : EIO);
    return false;
  }
  return true;
}

bool CopyEntries(const std::filesystem::path& from, const std::filesystem::path& to,
                 std::string* failure) {
  namespace fs = std::filesystem;
  bool ok = true;
  std::error_code ec;
  fs::directory_iterator it(from, ec);
  if (ec) {
    DebugOutputF("Failed to read folder %s\n", from.c_str());
    NoteCopyFailure(failure, from.string(), ec.value());
    return false;
  }
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    const fs::path target = to / name;
    std::error_code entryError;
    // A template brings files and folders of its own: a link (which may
    // lead anywhere), a FIFO or a device is not copied, nor a huge file.
    const fs::file_status status = it->symlink_status(entryError);
    std::string why = "not a regular file";
    if (fs::is_regular_file(status) && it->file_size(entryError) > kMaxPictureBytes) {
      why = TooLargeText(kMaxPictureBytes);
    } else if (fs::is_regular_file(status) || fs::is_directory(status)) {
      why.clear();
    }
    if (!why.empty()) {
      DebugOutputF("Template file not copied: %s: %s\n", it->path().c_str(), why.c_str());
      ok = false;
      continue;
    }
    if (fs::is_directory(status)) {
      fs::create_directory(target, entryError);
      if (!fs::is_directory(target, entryError)) {
        DebugOutputF("Failed to create folder %s\n", target.c_str());
        NoteCopyFailure(failure, target.string(), entryError ? entryError.value() : ENOTDIR);
        ok = false;
        continue;
      }
      ok = CopyEntries(it->path(), target, failure) && ok;
    } else if (!CopyOneFile(it->path(), target, failure)) {
      DebugOutputF("Failed to copy %s to %s\n", it->path().c_str(), target.c_str());
      ok = false;
    }
  }
  if (ec) {
    NoteCopyFailure(failure, from.string(), ec.value());
    ok = false;
  }
  return ok;
}

// Transform for a file at base; outputs receives the movie's outputs
// the data names.
bool TransformScoped(std::string* result, const std::string& xml, const std::string& stylesheet,
                     const std::string& base, PageFailure* failure, ReadScope* outputs) {
  static std::mutex oneAtATime;
  const std::lock_guard<std::mutex> lock(oneAtATime);
  *failure = {};
  try {
    return TransformUnguarded(result, xml, stylesheet, base, failure, outputs);
  } catch (const std::exception&) {
    DebugOutput("Exception during html generation\n");
    *failure = {PageFailure::Kind::transformFailed, ""};
    return false;
  }
}

}  // namespace

std::optional<Message> FailureMessage(const PageFailure& failure, MessageOwner owner) {
  switch (failure.kind) {
    case PageFailure::Kind::dataNotLoaded:
    case PageFailure::Kind::stylesheetNotLoaded:
      return Message{Translate("Message", "Error"), failure.text, MessageIcon::none,
                     MessageOwner::none};
    case PageFailure::Kind::notWritten:
      return Message{Translate("Message", "Error"), failure.text, MessageIcon::error, owner};
    case PageFailure::Kind::none:
    case PageFailure::Kind::transformFailed:
      break;
  }
  return std::nullopt;
}

bool Transform(std::string* result, const std::string& xml, const std::string& stylesheet,
               PageFailure* failure) {
  ReadScope outputs;
  PageFailure why;
  const bool ok = TransformScoped(result, xml, stylesheet, "", &why, &outputs);
  if (failure) *failure = std::move(why);
  return ok;
}

bool TransformForReport(std::string* result, const std::string& xml, const std::string& stylesheet,
                        std::string* failure) {
  PageFailure why;
  const bool ok = Transform(result, xml, stylesheet, &why);
  const std::optional<Message> message = FailureMessage(why, MessageOwner::none);
  *failure = message ? message->text : std::string();
  return ok;
}

XsltService::XsltService(const CProject& project) : project_(project) {}

bool XsltService::MakePage(const std::string& outputPath, const std::string& stylesheet,
                           const std::string& xml, PageFailure* failure) {
  const std::string folder = paths::FolderOf(outputPath);
  if (!folder.empty()) paths::CreateFolders(folder);

  std::string page;
  ReadScope scope;
  if (!TransformScoped(&page, xml, stylesheet, outputPath, failure, &scope)) return false;

  const int error = WriteOutputFile(outputPath, page);
  if (error == 0) {
    // What the page may load when it is drawn: the movie's outputs, the
    // template's folder and the page's own folder, where the template's
    // companion files are copied.
    scope.AddFolder(paths::FolderOf(ApplicationDataFolder() + stylesheet));
    scope.AddFolder(folder);
    RememberPageScope(outputPath, std::move(scope));
    return true;
  }
  *failure = {PageFailure::Kind::notWritten, HtmlWriteFailureText(outputPath, error), error};
  return false;
}

std::optional<std::string> XsltService::MovieData(const std::string& outputPath,
                                                  int32_t movieId) const {
  // A movie removed while its pages were made is no fault of the caller.
  const Movie* movie = project_.MovieById(movieId);
  if (!movie) return std::nullopt;
  return MovieDocument(*movie, outputPath, project_.Output().EffectiveImageScale());
}

bool XsltService::GeneratePageForMovie(const std::string& outputPath, const std::string& stylesheet,
                                       int32_t movieId, PageFailure* failure) const {
  const std::optional<std::string> xml = MovieData(outputPath, movieId);
  if (!xml) return false;
  PageFailure why;
  const bool made = MakePage(outputPath, stylesheet, *xml, &why);
  if (failure) *failure = std::move(why);
  return made;
}

bool CopyCompanionFolder(const std::string& stylesheet, const std::string& destinationFolder,
                         std::string* failure) {
  namespace fs = std::filesystem;
  const std::string source =
      ApplicationDataFolder() + std::string(paths::WithoutExtension(stylesheet)) + "/";
  std::error_code ec;
  if (!fs::is_directory(source, ec)) return true;
  if (destinationFolder.empty() || !paths::CreateFolders(destinationFolder)) {
    DebugOutputF("Failed to create folder %s\n", destinationFolder.c_str());
    NoteCopyFailure(failure, destinationFolder, errno != 0 ? errno : ENOENT);
    return false;
  }
  return CopyEntries(source, destinationFolder, failure);
}

}  // namespace ombrelo
