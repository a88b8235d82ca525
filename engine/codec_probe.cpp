#include "engine/codec_probe.h"

#include <cctype>
#include <cstring>
#include <fstream>
#include <mutex>
#include <vector>

#include "platform/paths.h"

#ifndef OMBRELO_PRODUCT_WEB_SITE
#define OMBRELO_PRODUCT_WEB_SITE ""
#endif

namespace ombrelo {
namespace {

constexpr uint32_t Tag(const char (&t)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(t[0])) |
         static_cast<uint32_t>(static_cast<uint8_t>(t[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(t[2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(t[3])) << 24;
}

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The header list of an AVI file is small; anything larger is not one.
constexpr uint32_t kMaxHeaderList = 16u << 20;

// Walks the chunks of a stream-list ("strl") body; returns the handler of
// its stream header when the stream is video.
bool VideoHandler(const uint8_t* p, size_t size, uint32_t* handler) {
  size_t pos = 0;
  while (pos + 8 <= size) {
    const uint32_t id = Le32(p + pos);
    const uint32_t length = Le32(p + pos + 4);
    if (length > size - pos - 8) return false;
    if (id == Tag("strh")) {
      if (length < 8) return false;
      if (Le32(p + pos + 8) != Tag("vids")) return false;
      *handler = Le32(p + pos + 12);
      return true;
    }
    pos += 8 + static_cast<size_t>(length) + (length & 1);
  }
  return false;
}

}  // namespace

uint32_t ProbeFourCC(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return 0;
  uint8_t riff[12];
  if (!file.read(reinterpret_cast<char*>(riff), sizeof riff)) return 0;
  if (Le32(riff) != Tag("RIFF") || Le32(riff + 8) != Tag("AVI ")) return 0;
  const uint64_t riffEnd = 8 + static_cast<uint64_t>(Le32(riff + 4));

  // Find the header list among the top-level chunks.
  uint64_t pos = 12;
  for (;;) {
    if (pos + 12 > riffEnd) return 0;
    uint8_t chunk[12];
    file.seekg(static_cast<std::streamoff>(pos));
    if (!file.read(reinterpret_cast<char*>(chunk), sizeof chunk)) return 0;
    const uint32_t id = Le32(chunk);
    const uint32_t length = Le32(chunk + 4);
    if (id == Tag("LIST") && Le32(chunk + 8) == Tag("hdrl")) {
      if (length < 4 || length > kMaxHeaderList) return 0;
      std::vector<uint8_t> list(length - 4);
      if (!file.read(reinterpret_cast<char*>(list.data()),
                     static_cast<std::streamsize>(list.size())))
        return 0;
      // Inside: the main header, then one "strl" list per stream.
      size_t at = 0;
      while (at + 8 <= list.size()) {
        const uint32_t subId = Le32(list.data() + at);
        const uint32_t subLength = Le32(list.data() + at + 4);
        if (subLength > list.size() - at - 8) return 0;
        if (subId == Tag("LIST") && subLength >= 4 && Le32(list.data() + at + 8) == Tag("strl")) {
          uint32_t handler = 0;
          if (VideoHandler(list.data() + at + 12, subLength - 4, &handler)) return handler;
        }
        at += 8 + static_cast<size_t>(subLength) + (subLength & 1);
      }
      return 0;
    }
    if (id == Tag("LIST") && Le32(chunk + 8) == Tag("movi")) return 0;  // no header before data
    pos += 8 + static_cast<uint64_t>(length) + (length & 1);
  }
}

namespace {

std::mutex& SiteMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& Site() {
  static std::string site = OMBRELO_PRODUCT_WEB_SITE;
  return site;
}

// Query values keep letters, digits and "-._~"; everything else is escaped.
std::string EscapeQueryValue(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace

std::string ProductWebSite() {
  std::lock_guard<std::mutex> lock(SiteMutex());
  return Site();
}

void SetProductWebSite(const std::string& address) {
  std::lock_guard<std::mutex> lock(SiteMutex());
  Site() = address;
}

std::string CodecHelpFormat(const std::string& path) {
  const std::string_view extension = paths::Extension(path);
  return extension.empty() ? path : std::string(extension.substr(1));
}

std::string CodecHelpAddress(const std::string& site, const std::string& path, uint32_t fourcc) {
  std::string address = site + "codec.php?format=" + EscapeQueryValue(CodecHelpFormat(path));
  if (fourcc != 0) {
    address += "&fourcc=";
    for (int i = 0; i < 4; ++i) {
      const unsigned char c = static_cast<unsigned char>((fourcc >> (8 * i)) & 0xFF);
      address += EscapeQueryValue(std::string(1, static_cast<char>(std::tolower(c))));
    }
  }
  return address;
}

std::string CodecHelpAddress(const std::string& path) {
  const std::string site = ProductWebSite();
  if (site.empty()) return kLocalCodecHelpPage;
  return CodecHelpAddress(site, path, ProbeFourCC(path));
}

}  // namespace ombrelo
