#pragma once
// Files made to harm whoever opens them as videos: playlists, manifests and
// lists of files that name other files, pictures tiny on disk and huge once
// decoded. Header-only; the test programs that include it link FFmpeg
// through the engine library.
#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/ffmpeg_support.h"

namespace ombrelo::testing {

// An HLS playlist, a DASH manifest and an ffconcat list, each naming one
// file to play: `target` (a path, absolute or relative to the list).
inline std::string HlsPlaylist(const std::string& target) {
  return "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n" + target + "\n#EXT-X-ENDLIST\n";
}
inline std::string DashManifest(const std::string& target) {
  return "<?xml version=\"1.0\"?>\n"
         "<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" type=\"static\" "
         "mediaPresentationDuration=\"PT10S\" minBufferTime=\"PT1S\" "
         "profiles=\"urn:mpeg:dash:profile:isoff-on-demand:2011\">\n"
         "<Period><AdaptationSet mimeType=\"video/mp2t\"><Representation id=\"1\" "
         "bandwidth=\"1000\"><BaseURL>" +
         target + "</BaseURL></Representation></AdaptationSet></Period></MPD>\n";
}
inline std::string ConcatList(const std::string& target) {
  return "ffconcat version 1.0\nfile '" + target + "'\n";
}

// A black picture of width x height pixels at one bit per pixel, PNG-coded:
// a few kilobytes however large it is. "" when it cannot be made.
inline std::string PngPicture(int width, int height) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PNG);
  av::CodecPtr encoder(codec ? avcodec_alloc_context3(codec) : nullptr);
  av::FramePtr frame(av_frame_alloc());
  av::PacketPtr packet(av_packet_alloc());
  if (!encoder || !frame || !packet) return "";
  encoder->width = width;
  encoder->height = height;
  encoder->pix_fmt = AV_PIX_FMT_MONOBLACK;
  encoder->time_base = {1, 25};
  if (avcodec_open2(encoder.get(), codec, nullptr) < 0) return "";
  frame->format = AV_PIX_FMT_MONOBLACK;
  frame->width = width;
  frame->height = height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return "";
  std::memset(frame->data[0], 0, static_cast<size_t>(frame->linesize[0]) * height);
  if (avcodec_send_frame(encoder.get(), frame.get()) < 0 ||
      avcodec_send_frame(encoder.get(), nullptr) < 0 ||
      avcodec_receive_packet(encoder.get(), packet.get()) < 0)
    return "";
  return std::string(reinterpret_cast<const char*>(packet->data), packet->size);
}

// A Matroska video of PNG pictures of the given sizes, one per frame at 25
// frames per second; its header gives the first picture's size unless
// `headerSize` says otherwise. False when it cannot be written.
inline bool WritePngVideo(const std::string& path, const std::vector<std::pair<int, int>>& sizes,
                          std::pair<int, int> headerSize = {0, 0}) {
  if (sizes.empty()) return false;
  if (headerSize.first <= 0) headerSize = sizes.front();
  AVFormatContext* raw = nullptr;
  if (avformat_alloc_output_context2(&raw, nullptr, "matroska", path.c_str()) < 0) return false;
  const av::OutputPtr output(raw);
  AVStream* stream = avformat_new_stream(raw, nullptr);
  if (!stream) return false;
  stream->time_base = {1, 25};
  stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
  stream->codecpar->codec_id = AV_CODEC_ID_PNG;
  stream->codecpar->format = AV_PIX_FMT_MONOBLACK;
  stream->codecpar->width = headerSize.first;
  stream->codecpar->height = headerSize.second;
  if (avio_open(&raw->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) return false;
  if (avformat_write_header(raw, nullptr) < 0) return false;
  std::map<std::pair<int, int>, std::string> pictures;  // each size coded once
  for (size_t i = 0; i < sizes.size(); ++i) {
    std::string& png = pictures[sizes[i]];
    if (png.empty()) png = PngPicture(sizes[i].first, sizes[i].second);
    av::PacketPtr packet(av_packet_alloc());
    if (png.empty() || !packet || av_new_packet(packet.get(), static_cast<int>(png.size())) < 0)
      return false;
    std::memcpy(packet->data, png.data(), png.size());
    packet->stream_index = 0;
    packet->flags |= AV_PKT_FLAG_KEY;
    packet->pts = packet->dts = av_rescale_q(static_cast<int64_t>(i), {1, 25}, stream->time_base);
    packet->duration = av_rescale_q(1, {1, 25}, stream->time_base);
    if (av_interleaved_write_frame(raw, packet.get()) < 0) return false;
  }
  return av_write_trailer(raw) >= 0;
}

// The files of one folder that are opened, as the kernel reports them.
class OpenedFiles {
 public:
  explicit OpenedFiles(const std::string& folder) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ >= 0) watching_ = inotify_add_watch(fd_, folder.c_str(), IN_OPEN) >= 0;
  }
  ~OpenedFiles() {
    if (fd_ >= 0) close(fd_);
  }
  OpenedFiles(const OpenedFiles&) = delete;
  OpenedFiles& operator=(const OpenedFiles&) = delete;
  bool Watching() const { return watching_; }

  // The names of the files opened since the last call, in order.
  std::vector<std::string> Take() {
    std::vector<std::string> names;
    alignas(inotify_event) char buffer[8192];
    for (ssize_t n; (n = read(fd_, buffer, sizeof buffer)) > 0;) {
      for (char* at = buffer; at < buffer + n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(at);
        if (event->len > 0 && event->name[0] != '\0') names.emplace_back(event->name);
        at += sizeof(inotify_event) + event->len;
      }
    }
    return names;
  }

 private:
  int fd_;
  bool watching_ = false;
};

}  // namespace ombrelo::testing
