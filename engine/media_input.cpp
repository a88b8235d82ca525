#include "engine/media_input.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <ctime>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/ffmpeg_support.h"
#include "engine/file_state.h"
#include "platform/debug_output.h"
#include "platform/translate.h"

extern "C" {
#include <libavutil/avstring.h>
}

namespace ombrelo {
namespace {

constexpr const char* kLocalProtocols = "file";
constexpr const char* kNetworkProtocols = "file,http,https,tcp,tls";

// Formats whose files name further files or addresses to read, with what a
// person calls such a file. Their demuxers never run.
struct Refused {
  const char* demuxer;
  const char* what;
};
constexpr Refused kRefused[] = {
    {"hls", QT_TRANSLATE_NOOP("MediaInput", "an HLS playlist (HTTP Live Streaming)")},
    {"dash", QT_TRANSLATE_NOOP("MediaInput", "a DASH manifest (MPEG-DASH)")},
    {"concat", QT_TRANSLATE_NOOP("MediaInput", "an FFmpeg concat list (ffconcat)")},
    {"image2",
     QT_TRANSLATE_NOOP("MediaInput",
                       "an image sequence (a picture file name that numbers further pictures)")},
    {"imf", QT_TRANSLATE_NOOP("MediaInput", "an IMF composition playlist")},
    {"sdp", QT_TRANSLATE_NOOP("MediaInput", "a session description (SDP) of a network stream")},
    {"avisynth", QT_TRANSLATE_NOOP("MediaInput", "an AviSynth script")},
    {"vapoursynth", QT_TRANSLATE_NOOP("MediaInput", "a VapourSynth script")},
};

const Refused* RefusedFormat(const AVInputFormat* format) {
  for (const Refused& entry : kRefused) {
    if (av_match_name(entry.demuxer, format->name)) return &entry;
  }
  return nullptr;
}

// Every open a demuxer asks for beyond the file itself (AVFormatContext's
// io_open): refused.
int RefuseOpen(AVFormatContext* context, AVIOContext** pb, const char* url, int, AVDictionary**) {
  *pb = nullptr;
  DebugOutputF("ffmpeg: refused to open '%s' named inside '%s'\n", url ? url : "",
               context->url ? context->url : "");
  if (const auto* observer = static_cast<const InputOpenObserver*>(context->opaque))
    (*observer)(url ? url : "", false);
  return AVERROR(EPERM);
}

InputFailure Failure(MediaError code, std::string reason = "") {
  if (reason.empty()) reason = ErrorText(code);
  return {code, std::move(reason)};
}

std::string CannotRead(int error) {
  return FillIn(Translate("MediaInput", "The file cannot be read: %1."), {av::ErrorText(error)});
}

// An error of the system while the file was opened or read.
InputFailure ReadFailure(int error) {
  if (error == AVERROR(ENOENT) || error == AVERROR(ENOTDIR))
    return Failure(MediaError::fileNotFound);
  if (error == AVERROR(EACCES) || error == AVERROR(EPERM)) return Failure(MediaError::accessDenied);
  if (error == AVERROR_EXIT) return Failure(MediaError::aborted);
  if (error == AVERROR(ENOMEM)) return Failure(MediaError::outOfMemory);
  return Failure(MediaError::failed, CannotRead(error));
}

// A local file that is no regular file is not read: a named pipe would
// block until someone writes to it, a device may never end.
bool RegularFile(const std::string& path, struct stat& info, InputFailure* failure) {
  if (::stat(path.c_str(), &info) != 0) {
    *failure = ReadFailure(AVERROR(errno));
    return false;
  }
  if (S_ISREG(info.st_mode)) {
    if (info.st_size == 0) {
      *failure =
          Failure(MediaError::unknownFileType, Translate("MediaInput", "The file is empty."));
      return false;
    }
    return true;
  }
  if (S_ISDIR(info.st_mode)) {
    *failure = Failure(MediaError::failed, CannotRead(AVERROR(EISDIR)));
    return false;
  }
  const std::string what = S_ISFIFO(info.st_mode)   ? Translate("MediaInput", "a named pipe")
                           : S_ISSOCK(info.st_mode) ? Translate("MediaInput", "a socket")
                                                    : Translate("MediaInput", "a device");
  *failure =
      Failure(MediaError::failed, FillIn(Translate("MediaInput",
                                                   "The file cannot be read: it is %1, not a "
                                                   "regular file."),
                                         {what}));
  return false;
}

// "a Matroska / WebM file", "an MP4 file": the format's file with its article.
std::string FileOfFormat(const std::string& format) {
  const bool vowel =
      !format.empty() && std::string_view("AEIOUaeiou").find(format[0]) != std::string_view::npos;
  return FillIn(
      vowel ? Translate("MediaInput", "an %1 file") : Translate("MediaInput", "a %1 file"),
      {format});
}

// The demuxer's name for its format, as a person reads it.
std::string FormatName(const AVInputFormat* format) {
  return format->long_name && *format->long_name ? format->long_name : format->name;
}

// How a file that ends too early came to be so: one that grew or changed
// while it was opened is still being written, one changed a moment ago may
// be; otherwise it is taken for cut short.
enum class Writing { no, maybe, yes };

Writing StillWritten(const std::string& path, const struct stat& before) {
  const FileState now = LookAtFile(path);
  if (now.error != 0) return Writing::no;
  if (now.bytes > static_cast<uintmax_t>(before.st_size) ||
      now.modifiedNs !=
          static_cast<int64_t>(before.st_mtim.tv_sec) * 1'000'000'000 + before.st_mtim.tv_nsec)
    return Writing::yes;
  return ChangedMomentsAgo(now) ? Writing::maybe : Writing::no;
}

// The header could not be read although the format was recognised.
InputFailure HeaderFailure(int error, const AVInputFormat* format, bool endReached,
                           Writing writing) {
  if (error == AVERROR_EXIT) return Failure(MediaError::aborted);
  if (error == AVERROR(ENOMEM)) return Failure(MediaError::outOfMemory);
  const std::string what = FileOfFormat(FormatName(format));
  if (endReached) {
    if (writing == Writing::yes)
      return Failure(MediaError::invalidFileFormat,
                     FillIn(Translate("MediaInput",
                                      "The file is still being written: it is %1 that ends before "
                                      "its header does, and it grew while it was opened. Index it "
                                      "again when it is complete."),
                            {what}));
    if (writing == Writing::maybe)
      return Failure(MediaError::invalidFileFormat,
                     FillIn(Translate("MediaInput",
                                      "The file is cut short or still being written: it is %1 "
                                      "that ends before its header does, and it was changed a "
                                      "moment ago. Index it again when it is complete."),
                            {what}));
    return Failure(MediaError::invalidFileFormat,
                   FillIn(Translate("MediaInput",
                                    "The file is cut short: it is %1 that ends before its header "
                                    "does."),
                          {what}));
  }
  if (error == AVERROR(EPERM))  // only an open beyond the file itself is refused so
    return Failure(MediaError::unsupportedStream,
                   FillIn(Translate("MediaInput",
                                    "The file is %1 that names other files to read: only the file "
                                    "itself is read."),
                          {what}));
  if (error != AVERROR_INVALIDDATA && error != AVERROR_EOF && error != AVERROR_PATCHWELCOME &&
      error != AVERROR(EINVAL))
    return ReadFailure(error);
  return Failure(
      MediaError::invalidFileFormat,
      FillIn(Translate("MediaInput",
                       "The file is damaged: it is %1 whose header cannot be read (%2)."),
             {what, av::ErrorText(error)}));
}

// The codec names people know, by FFmpeg's names; others are written in
// capitals.
std::string CodecName(AVCodecID id) {
  static constexpr std::pair<std::string_view, std::string_view> kNames[] = {
      {"ac3", "AC-3"},      {"eac3", "E-AC-3"},      {"dts", "DTS"},    {"truehd", "TrueHD"},
      {"mp3", "MP3"},       {"mp2", "MP2"},          {"aac", "AAC"},    {"opus", "Opus"},
      {"vorbis", "Vorbis"}, {"flac", "FLAC"},        {"alac", "ALAC"},  {"wmav1", "WMA"},
      {"wmav2", "WMA"},     {"wmapro", "WMA Pro"},   {"amr_nb", "AMR"}, {"amr_wb", "AMR-WB"},
      {"h264", "H.264"},    {"hevc", "H.265 (HEVC)"}};
  const std::string_view name = avcodec_get_name(id);
  if (name.rfind("pcm_", 0) == 0) return "PCM";
  for (const auto& [ffmpeg, known] : kNames) {
    if (name == ffmpeg) return std::string(known);
  }
  std::string upper(name);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// The video format of a stream for a person: its codec's name, or the
// four-character code the file gives when FFmpeg does not know the codec.
std::string VideoCodecName(const AVCodecParameters* par) {
  if (par->codec_id != AV_CODEC_ID_NONE) return CodecName(par->codec_id);
  if (par->codec_tag == 0) return Translate("MediaInput", "an unknown format");
  char tag[AV_FOURCC_MAX_STRING_SIZE] = {};
  av_fourcc_make_string(tag, par->codec_tag);
  return tag;
}

// "a, b and c".
std::string JoinedWithAnd(const std::vector<std::string>& parts) {
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i == 0)
      text = parts[i];
    else if (i + 1 == parts.size())
      text =
          FillIn(Translate("MediaInput", "%1 and %2", "the last two of a list"), {text, parts[i]});
    else
      text = FillIn(Translate("MediaInput", "%1, %2", "a list"), {text, parts[i]});
  }
  return text;
}

// Whether the header describes the video well enough to decode it without
// looking at its first frames: a container with an index and stream headers
// of its own, and a video stream with a codec, a size and a length.
bool HeaderIsEnough(const AVFormatContext* context) {
  const std::string_view name = context->iformat->name;
  if (name != "mov,mp4,m4a,3gp,3g2,mj2" && name != "matroska,webm") return false;
  for (unsigned i = 0; i < context->nb_streams; ++i) {
    const AVStream* stream = context->streams[i];
    const AVCodecParameters* par = stream->codecpar;
    if (par->codec_type != AVMEDIA_TYPE_VIDEO ||
        (stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
      continue;
    if (par->codec_id == AV_CODEC_ID_NONE || par->width <= 0 || par->height <= 0) return false;
    return (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) || context->duration > 0;
  }
  return false;
}

// What the file really is, whatever its name says, before any demuxer runs:
// the probe's score, or -1 (with the failure filled in) for a file that is
// no video or one that names other files to read.
int ProbeFormat(AVIOContext* pb, const std::string& url, const std::string& path,
                const AVInputFormat** format, InputFailure* failure) {
  const int score = av_probe_input_buffer2(pb, format, url.c_str(), nullptr, 0, 0);
  if (score < 0 || !*format || score < AVPROBE_SCORE_RETRY) {
    // A guess from a few bytes that happen to look like some format is what
    // a person calls a file that is no video.
    DebugOutputF("ffmpeg: '%s' is not a recognised media file (%s)\n", path.c_str(),
                 score < 0 ? av::ErrorText(score).c_str() : "a weak guess");
    *failure = score < 0 && score != AVERROR_INVALIDDATA && score != AVERROR_EOF
                   ? ReadFailure(score)
                   : Failure(MediaError::unknownFileType);
    return -1;
  }
  if (const Refused* refused = RefusedFormat(*format)) {
    DebugOutputF("ffmpeg: '%s' is %s (%s): not read\n", path.c_str(), refused->what,
                 (*format)->name);
    *failure = Failure(MediaError::unsupportedStream,
                       FillIn(Translate("MediaInput",
                                        "The file is %1, which names other files to read: only "
                                        "the file itself is read."),
                              {TranslateKept("MediaInput", refused->what)}));
    return -1;
  }
  return score;
}

// Looks at the streams' first packets for what their headers leave out.
void ReadStreamInfo(AVFormatContext* context, const std::string& path) {
  // The decoders that look at the streams are held to the picture limit.
  // One that refuses a picture forgets its size; the size the file gives
  // stays, so that the picture is refused by its size later.
  std::vector<AVDictionary*> streamOptions(context->nb_streams, nullptr);
  std::vector<std::pair<int, int>> sizes;
  for (unsigned i = 0; i < context->nb_streams; ++i) {
    av_dict_set_int(&streamOptions[i], "max_pixels", kMaxPicturePixels, 0);
    sizes.emplace_back(context->streams[i]->codecpar->width, context->streams[i]->codecpar->height);
  }
  const int error = avformat_find_stream_info(context, streamOptions.data());
  for (AVDictionary*& d : streamOptions) av_dict_free(&d);
  for (size_t i = 0; i < sizes.size() && i < context->nb_streams; ++i) {
    AVCodecParameters* par = context->streams[i]->codecpar;
    if (par->width <= 0 || par->height <= 0) std::tie(par->width, par->height) = sizes[i];
  }
  if (error < 0)
    DebugOutputF("ffmpeg: no stream information in '%s': %s\n", path.c_str(),
                 av::ErrorText(error).c_str());
}

}  // namespace

AVFormatContext* OpenInput(const InputRequest& request, InputFailure* failure) {
  *failure = {};
  const bool address = request.networkAddresses && request.path.find("://") != std::string::npos;
  // A path is always a file's: "file:" keeps FFmpeg from reading a name such
  // as "concat:a|b" or "subfile,,start,0,end,0,,:x" as a protocol.
  const std::string url = address ? request.path : "file:" + request.path;
  struct stat before {};
  if (!address && !RegularFile(request.path, before, failure)) return nullptr;
  const char* protocols = address ? kNetworkProtocols : kLocalProtocols;

  AVIOInterruptCB interrupt{request.interrupt, request.interruptOpaque};
  AVIOContext* pb = nullptr;
  AVDictionary* ioOptions = nullptr;
  av_dict_set(&ioOptions, "protocol_whitelist", protocols, 0);
  int error = avio_open2(&pb, url.c_str(), AVIO_FLAG_READ, &interrupt, &ioOptions);
  av_dict_free(&ioOptions);
  if (error < 0) {
    DebugOutputF("ffmpeg: cannot open '%s': %s\n", request.path.c_str(),
                 av::ErrorText(error).c_str());
    *failure = ReadFailure(error);
    return nullptr;
  }
  if (request.observer) (*request.observer)(url, true);

  const AVInputFormat* format = nullptr;
  const int score = ProbeFormat(pb, url, request.path, &format, failure);
  if (score < 0) {
    avio_closep(&pb);
    return nullptr;
  }

  AVFormatContext* context = avformat_alloc_context();
  if (!context) {
    avio_closep(&pb);
    *failure = Failure(MediaError::outOfMemory);
    return nullptr;
  }
  context->pb = pb;
  context->interrupt_callback = interrupt;
  context->io_open = &RefuseOpen;
  context->opaque = const_cast<InputOpenObserver*>(request.observer);
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", protocols, 0);
  error = avformat_open_input(&context, url.c_str(), format, &options);
  av_dict_free(&options);
  if (error < 0) {  // the context is freed by the failing call, the file is ours
    DebugOutputF("ffmpeg: cannot read the %s header of '%s': %s\n", format->name,
                 request.path.c_str(), av::ErrorText(error).c_str());
    // Read to the end, or told to skip past it (an MP4 whose index was to
    // come after the pictures): the rest of the file is missing.
    const int64_t size = avio_size(pb);
    const bool endReached = avio_feof(pb) || (size > 0 && avio_tell(pb) >= size);
    *failure =
        HeaderFailure(error, format, endReached,
                      endReached && !address ? StillWritten(request.path, before) : Writing::no);
    avio_closep(&pb);
    return nullptr;
  }
  // The file was handed in, so FFmpeg would leave it open: from here on it
  // is closed with the context, as a file FFmpeg opened itself is.
  context->flags &= ~AVFMT_FLAG_CUSTOM_IO;
  context->probe_score = score;

  if (request.headerOnly && HeaderIsEnough(context)) return context;

  ReadStreamInfo(context, request.path);
  return context;
}

std::string NoVideoStreamReason(const AVFormatContext* format) {
  std::vector<std::string> audio;
  bool subtitles = false, pictures = false, other = false;
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    const AVStream* stream = format->streams[i];
    const AVCodecParameters* par = stream->codecpar;
    if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
      std::string name = CodecName(par->codec_id);
      bool known = false;
      for (const std::string& n : audio) known = known || n == name;
      if (!known) audio.push_back(std::move(name));
    } else if (par->codec_type == AVMEDIA_TYPE_SUBTITLE) {
      subtitles = true;
    } else if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
      pictures = pictures || (stream->disposition & AV_DISPOSITION_ATTACHED_PIC);
    } else {
      other = true;
    }
  }
  std::vector<std::string> parts;
  if (!audio.empty()) {
    std::string names;
    for (size_t i = 0; i < audio.size(); ++i) names += (i ? ", " : "") + audio[i];
    parts.push_back(FillIn(Translate("MediaInput", "audio (%1)"), {names}));
  }
  if (subtitles) parts.push_back(Translate("MediaInput", "subtitles"));
  if (pictures) parts.push_back(Translate("MediaInput", "a cover picture"));
  if (other) parts.push_back(Translate("MediaInput", "data"));
  if (parts.empty())
    return Translate("MediaInput", "The file has no video stream: it holds no streams at all.");
  return FillIn(Translate("MediaInput", "The file has no video stream: it holds only %1."),
                {JoinedWithAnd(parts)});
}

std::string UndecodableReason(AVFormatContext* format, AVStream* stream, MediaError* code) {
  const AVCodecParameters* par = stream->codecpar;
  *code = MediaError::noDecoder;
  if (!avcodec_find_decoder(par->codec_id))
    return FillIn(Translate("MediaInput",
                            "No installed decoder can play this video: the FFmpeg libraries of "
                            "this system cannot decode %1 video (the codec help page codecs.htm "
                            "names the Debian packages that bring more decoders)."),
                  {VideoCodecName(par)});
  if (par->width <= 0 || par->height <= 0)
    return Translate("MediaInput", "The video stream is damaged: it gives no picture size.");
  // The pictures as they are shown: stretched to their display aspect.
  const AVRational aspect = av_guess_sample_aspect_ratio(format, stream, nullptr);
  double shownWidth = par->width;
  if (aspect.num > 0 && aspect.den > 0) shownWidth = shownWidth * aspect.num / aspect.den;
  shownWidth = std::max(shownWidth, static_cast<double>(par->width));
  if (shownWidth * par->height > static_cast<double>(kMaxPicturePixels)) {
    *code = MediaError::unsupportedStream;
    return FillIn(Translate("MediaInput",
                            "The video's pictures are too large: %1 x %2 pixels, more than the "
                            "%3 megapixels a picture may have."),
                  {std::to_string(std::llround(shownWidth)), std::to_string(par->height),
                   std::to_string(kMaxPicturePixels / (1 << 20))});
  }
  *code = MediaError::none;
  return "";
}

}  // namespace ombrelo
