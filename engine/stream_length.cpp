#include "engine/stream_length.h"

#include <algorithm>

#include "engine/ffmpeg_support.h"

namespace ombrelo::av {
namespace {

constexpr int64_t kFirstWindow = 2 << 20;
constexpr int64_t kLargestWindow = 64 << 20;

// The end (ticks of `wanted`'s time base) of the last packet of the stream
// whose id is `wanted->id`, read from `window` bytes before the end of the
// file on; AV_NOPTS_VALUE when none was found.
int64_t LastPacketEnd(const AVFormatContext* format, const AVStream* wanted, int64_t window,
                      bool* wholeFile) {
  // The same file once more, read as the first time: only the file itself,
  // through the demuxer already chosen, and every further open refused.
  AVIOContext* pb = nullptr;
  AVDictionary* ioOptions = nullptr;
  av_dict_set(&ioOptions, "protocol_whitelist", "file", 0);
  const int opened =
      avio_open2(&pb, format->url, AVIO_FLAG_READ, &format->interrupt_callback, &ioOptions);
  av_dict_free(&ioOptions);
  if (opened < 0) return AV_NOPTS_VALUE;
  AVFormatContext* raw = avformat_alloc_context();
  if (!raw) {
    avio_closep(&pb);
    return AV_NOPTS_VALUE;
  }
  raw->pb = pb;
  raw->interrupt_callback = format->interrupt_callback;
  raw->io_open = format->io_open;
  raw->opaque = format->opaque;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  const int error = avformat_open_input(&raw, format->url, format->iformat, &options);
  av_dict_free(&options);
  if (error < 0) {  // the context is gone, the file is ours
    avio_closep(&pb);
    return AV_NOPTS_VALUE;
  }
  // Closed with the context from here on.
  raw->flags &= ~AVFMT_FLAG_CUSTOM_IO;
  const FormatPtr input(raw);
  if (!input->pb || !(input->pb->seekable & AVIO_SEEKABLE_NORMAL)) return AV_NOPTS_VALUE;
  const int64_t size = avio_size(input->pb);
  if (size <= 0) return AV_NOPTS_VALUE;
  // The demuxer finds the next unit it knows from wherever it is put; a
  // window that covers the file reads it from the end of its header.
  *wholeFile = window >= size || window >= size - avio_tell(input->pb);
  if (!*wholeFile) {
    if (avio_seek(input->pb, size - window, SEEK_SET) < 0) return AV_NOPTS_VALUE;
    avformat_flush(input.get());
  }
  const PacketPtr packet(av_packet_alloc());
  if (!packet) return AV_NOPTS_VALUE;
  int64_t end = AV_NOPTS_VALUE;
  // A stream the header did not announce (MPEG transport streams) is
  // recognised by its id once its packets come.
  while (av_read_frame(input.get(), packet.get()) >= 0) {
    const AVStream* stream = input->streams[packet->stream_index];
    const int64_t time = PacketTime(packet.get());
    if (stream->id == wanted->id && stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
        time != AV_NOPTS_VALUE) {
      const int64_t packetEnd = time + std::max<int64_t>(packet->duration, 0);
      const int64_t ticks = av_rescale_q(packetEnd, stream->time_base, wanted->time_base);
      end = end == AV_NOPTS_VALUE ? ticks : std::max(end, ticks);
    }
    av_packet_unref(packet.get());
  }
  return end;
}

}  // namespace

bool LengthNeedsScan(const AVFormatContext* format, int64_t duration, bool fromStream) {
  return duration <= 0 ||
         (!fromStream && format->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE);
}

int64_t ScanVideoEnd(const AVFormatContext* format, const AVStream* stream) {
  if (!format->url || !format->url[0] || !format->pb ||
      !(format->pb->seekable & AVIO_SEEKABLE_NORMAL))
    return 0;
  for (int64_t window = kFirstWindow; window <= kLargestWindow; window *= 2) {
    bool wholeFile = false;
    const int64_t end = LastPacketEnd(format, stream, window, &wholeFile);
    if (end != AV_NOPTS_VALUE) {
      const int64_t length = av_rescale_q(end - StreamStart(stream), stream->time_base, kUnits);
      return std::max<int64_t>(length, 0);
    }
    if (wholeFile) break;
  }
  return 0;
}

}  // namespace ombrelo::av
