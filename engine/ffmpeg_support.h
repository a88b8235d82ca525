#pragma once
// FFmpeg helpers shared by the pipeline, the tools, the tests and the bench:
// owning pointers for FFmpeg's objects, the one pair of timestamp
// conversions between a stream's time base and 100-ns units, and the facts
// of a video stream that the capture relies on.
//
// This header carries FFmpeg types: include it from .cpp files (and test or
// bench code) only. The engine's public headers keep FFmpeg out; the inline
// parts need no library of ours, the functions below the line need the
// engine library.
#include <cstdint>
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace ombrelo::av {

struct FormatCloser {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsFreer {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
// A muxer's context: its file is closed with it.
struct OutputCloser {
  void operator()(AVFormatContext* c) const {
    if (c->pb && !(c->oformat->flags & AVFMT_NOFILE)) avio_closep(&c->pb);
    avformat_free_context(c);
  }
};
struct DictionaryFreer {
  void operator()(AVDictionary* d) const { av_dict_free(&d); }
};
using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using SwsPtr = std::unique_ptr<SwsContext, SwsFreer>;
using OutputPtr = std::unique_ptr<AVFormatContext, OutputCloser>;
using DictionaryPtr = std::unique_ptr<AVDictionary, DictionaryFreer>;

// 100-ns units, the engine's time unit.
inline constexpr AVRational kUnits = {1, 10'000'000};

// The stream's first timestamp in its time base; 0 when the stream does not
// say.
inline int64_t StreamStart(const AVStream* stream) {
  return stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
}

// The file's start in the stream's time base, where players count time
// from: the container's start time (the earliest start of its streams, edit
// lists applied), or the stream's own start when that is earlier or the
// container gives none.
inline int64_t FileStart(const AVFormatContext* format, const AVStream* stream) {
  const int64_t own = StreamStart(stream);
  if (format->start_time == AV_NOPTS_VALUE) return own;
  const int64_t file = av_rescale_q(format->start_time, AV_TIME_BASE_Q, stream->time_base);
  return file < own ? file : own;
}

// A packet's time: its presentation time, else its decoding time, else
// AV_NOPTS_VALUE.
inline int64_t PacketTime(const AVPacket* packet) {
  return packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
}

// A decoded frame's time: the decoder's best estimate, else its
// presentation time, else AV_NOPTS_VALUE.
inline int64_t FrameTime(const AVFrame* frame) {
  return frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
}

// Time-base ticks to 100-ns units counted from the stream's start (`start`,
// in ticks). AV_NOPTS_VALUE stays AV_NOPTS_VALUE.
inline int64_t TicksToUnits(int64_t ticks, AVRational timeBase, int64_t start) {
  if (ticks == AV_NOPTS_VALUE) return AV_NOPTS_VALUE;
  return av_rescale_q(ticks - start, timeBase, kUnits);
}

// 100-ns units counted from the stream's start to time-base ticks.
// AV_NOPTS_VALUE stays AV_NOPTS_VALUE.
inline int64_t UnitsToTicks(int64_t units, AVRational timeBase, int64_t start) {
  if (units == AV_NOPTS_VALUE) return AV_NOPTS_VALUE;
  return av_rescale_q(units, kUnits, timeBase) + start;
}

inline std::string ErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

// ---- In the engine library.

// The length of a video in 100-ns units: the video stream's own duration,
// else its "DURATION" tag (Matroska), else the container's; 0 when none is
// known. *fromStream (when given) tells whether it was the stream's own.
int64_t VideoDuration(const AVFormatContext* format, const AVStream* stream,
                      bool* fromStream = nullptr);

// The stream's frame rate, guessed when the stream gives none; 0/1 when
// unknown.
AVRational VideoFrameRate(AVFormatContext* format, AVStream* stream);

// The average frame duration in 100-ns units from that rate; 0 when unknown.
int64_t AverageFrameDuration(AVFormatContext* format, AVStream* stream);

}  // namespace ombrelo::av
