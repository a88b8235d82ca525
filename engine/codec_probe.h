#pragma once
// Codec problems: the four-character code of an AVI file's video, and the
// address of the product web site's codec help page for a movie that no
// installed decoder can play.
#include <cstdint>
#include <string>

namespace ombrelo {

// The handler code (fccHandler) of the first video stream of an AVI file,
// lowest byte first as stored; 0 for files that are not AVI, have no video
// stream, or cannot be read.
uint32_t ProbeFourCC(const std::string& path);

// The product web site's address, ending in "/", or "" when there is none.
// Set at build time (OMBRELO_PRODUCT_WEB_SITE, empty by default);
// SetProductWebSite replaces it.
std::string ProductWebSite();
void SetProductWebSite(const std::string& address);

// The format value of the help address: the text after the last "." of the
// file name, or the whole path when the file name has no ".".
std::string CodecHelpFormat(const std::string& path);

// site + "codec.php?format=EXT&fourcc=abcd", or without "&fourcc=..." when
// fourcc is 0. The code's characters are lower-cased, lowest byte first.
std::string CodecHelpAddress(const std::string& site, const std::string& path, uint32_t fourcc);

// The help page of the application data folder's "dialogs/" that explains
// which packages bring which decoders; codec help without a web site.
inline constexpr char kLocalCodecHelpPage[] = "codecs.htm";

// The address for a movie: probes its code and uses ProductWebSite(); the
// local page when there is no web site.
std::string CodecHelpAddress(const std::string& path);

}  // namespace ombrelo
