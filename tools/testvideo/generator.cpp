// Writes frame-numbered test videos with libavformat and libavcodec.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "engine/ffmpeg_support.h"
#include "tools/testvideo/frame_code.h"
#include "tools/testvideo/hdr_painter.h"
#include "tools/testvideo/test_video.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
}

namespace ombrelo::testvideo {
namespace {

using av::CodecPtr;
using av::FramePtr;
using av::OutputPtr;
using av::PacketPtr;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

struct Container {
  const char* name;        // our name
  const char* muxer;       // libavformat's
  const char* videoCodec;  // usual video codec
  const char* audioCodec;  // usual audio codec
  const char* extensions[3];
};

constexpr Container kContainers[] = {
    {"mp4", "mp4", "h264", "aac", {".mp4", ".m4v", nullptr}},
    {"mov", "mov", "h264", "aac", {".mov", nullptr, nullptr}},
    {"avi", "avi", "mpeg4", "mp3", {".avi", nullptr, nullptr}},
    {"mkv", "matroska", "h264", "aac", {".mkv", nullptr, nullptr}},
    {"webm", "webm", "vp9", "opus", {".webm", nullptr, nullptr}},
    {"mpg", "mpeg", "mpeg2video", "mp2", {".mpg", ".mpeg", nullptr}},
    {"ts", "mpegts", "h264", "mp2", {".ts", ".m2ts", nullptr}},
};

const Container* FindContainer(const VideoOptions& options) {
  if (!options.container.empty()) {
    const std::string name = Lower(options.container);
    for (const Container& c : kContainers) {
      if (name == c.name || name == c.muxer) return &c;
    }
    return nullptr;
  }
  const std::string path = Lower(options.path);
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return nullptr;
  const std::string extension = path.substr(dot);
  for (const Container& c : kContainers) {
    for (const char* e : c.extensions) {
      if (e && extension == e) return &c;
    }
  }
  return nullptr;
}

// Our codec names and the encoders tried for them, best first.
const AVCodec* FindVideoEncoder(const std::string& name) {
  struct Entry {
    const char* name;
    const char* encoder;
    AVCodecID id;
  };
  static constexpr Entry kCodecs[] = {
      {"h264", "libx264", AV_CODEC_ID_H264},
      {"hevc", "libx265", AV_CODEC_ID_HEVC},
      {"mpeg4", "mpeg4", AV_CODEC_ID_MPEG4},
      {"vp9", "libvpx-vp9", AV_CODEC_ID_VP9},
      {"vp8", "libvpx", AV_CODEC_ID_VP8},
      {"mpeg2video", "mpeg2video", AV_CODEC_ID_MPEG2VIDEO},
      {"mpeg2", "mpeg2video", AV_CODEC_ID_MPEG2VIDEO},
      {"mpeg1video", "mpeg1video", AV_CODEC_ID_MPEG1VIDEO},
      {"mjpeg", "mjpeg", AV_CODEC_ID_MJPEG},
  };
  const std::string lower = Lower(name);
  for (const Entry& e : kCodecs) {
    if (lower != e.name) continue;
    if (const AVCodec* codec = avcodec_find_encoder_by_name(e.encoder)) return codec;
    return avcodec_find_encoder(e.id);  // another encoder of the same format
  }
  const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
  return codec && codec->type == AVMEDIA_TYPE_VIDEO ? codec : nullptr;
}

const AVCodec* FindAudioEncoder(const std::string& name) {
  struct Entry {
    const char* name;
    const char* encoders[2];
  };
  static constexpr Entry kCodecs[] = {
      {"aac", {"aac", nullptr}},          {"mp3", {"libmp3lame", "mp2"}},
      {"mp2", {"mp2", "mp2fixed"}},       {"opus", {"libopus", "libvorbis"}},
      {"vorbis", {"libvorbis", nullptr}}, {"ac3", {"ac3", nullptr}},
  };
  const std::string lower = Lower(name);
  for (const Entry& e : kCodecs) {
    if (lower != e.name) continue;
    for (const char* encoder : e.encoders) {
      if (!encoder) continue;
      if (const AVCodec* codec = avcodec_find_encoder_by_name(encoder)) return codec;
    }
    return nullptr;
  }
  const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
  return codec && codec->type == AVMEDIA_TYPE_AUDIO ? codec : nullptr;
}

// Encoders talk a lot (statistics at the end of every file); their messages
// go two levels down, so that a process at FFmpeg's default level sees only
// their errors. What went wrong reaches the caller as the error text anyway.
constexpr int kLogLevelOffset = AV_LOG_DEBUG - AV_LOG_INFO;

bool Fail(std::string* error, std::string text) {
  if (error) *error = std::move(text);
  return false;
}

std::string CheckOptions(const VideoOptions& o) {
  if (o.path.empty()) return "no output file given";
  if (o.width < 16 || o.height < 16 || o.width > 16384 || o.height > 16384) {
    return "picture size " + std::to_string(o.width) + "x" + std::to_string(o.height) +
           " is outside 16x16 to 16384x16384";
  }
  if (o.width % 2 || o.height % 2) {
    return "picture size " + std::to_string(o.width) + "x" + std::to_string(o.height) +
           " is odd; 4:2:0 video needs even sizes";
  }
  if (o.fpsNum <= 0 || o.fpsDen <= 0) return "frame rate must be positive";
  if (o.frameCount < 1 || o.frameCount > detail::kMaxFrameNumber + 1) {
    return "frame count must be 1 to " + std::to_string(detail::kMaxFrameNumber + 1);
  }
  if (o.keyframeInterval < 1) return "key frame interval must be at least 1";
  if (o.maxBFrames < 0 || o.maxBFrames > 16) return "B-frames must be 0 to 16";
  if (!(o.audioSeconds >= 0) || !std::isfinite(o.audioSeconds) || o.audioSeconds > 1e6) {
    return "audio length must be 0 to 1000000 seconds";
  }
  if (o.sampleAspectNum <= 0 || o.sampleAspectDen <= 0)
    return "sample aspect ratio must be positive";
  if (o.rotationDegrees != 0 && o.rotationDegrees != 90 && o.rotationDegrees != 180 &&
      o.rotationDegrees != 270) {
    return "rotation must be 0, 90, 180 or 270 degrees";
  }
  const std::string matrix = Lower(o.colorMatrix);
  if (!matrix.empty() && matrix != "bt601" && matrix != "bt709") {
    return "colour matrix \"" + o.colorMatrix + "\" is not bt601 or bt709";
  }
  if (!o.fourcc.empty() && o.fourcc.size() != 4)
    return "fourcc \"" + o.fourcc + "\" is not 4 characters";
  if (o.bitRate < 0) return "bit rate must not be negative";
  const std::string hdr = Lower(o.hdr);
  if (!hdr.empty() && hdr != "pq" && hdr != "hlg" && hdr != "bt2020")
    return "HDR kind \"" + o.hdr + "\" is not pq, hlg or bt2020";
  if (!hdr.empty() && !matrix.empty()) return "HDR video has its own colour matrix";
  if (!hdr.empty() && !o.blackFrames.empty()) return "black frames are drawn in SDR video only";
  const std::string keys = Lower(o.keyFrames);
  if (!keys.empty() && keys != "first" && keys != "intra-refresh" && keys != "unflagged")
    return "key frame layout \"" + o.keyFrames + "\" is not first, intra-refresh or unflagged";
  if ((keys == "first" || keys == "intra-refresh") && !o.codec.empty() && Lower(o.codec) != "h264")
    return "the key frame layout \"" + o.keyFrames + "\" needs H.264 video";
  if (!(o.videoStart >= 0) || !std::isfinite(o.videoStart) || o.videoStart > 1e6)
    return "video start must be 0 to 1000000 seconds";
  for (const VideoOptions::FrameRange& range : o.blackFrames) {
    if (range.first < 0 || range.last < range.first)
      return "a stretch of black frames must run from a frame to one at or after it";
  }
  return {};
}

// Encoder settings for speed: fast presets, quality kept high enough that the
// frame code survives, and FFmpeg's own threads.
void ConfigureVideo(const VideoOptions& o, const AVCodec* codec, AVCodecContext* c,
                    AVDictionary** settings) {
  c->width = o.width;
  c->height = o.height;
  av_reduce(&c->time_base.num, &c->time_base.den, o.fpsDen, o.fpsNum, INT32_MAX);
  c->framerate = AVRational{c->time_base.den, c->time_base.num};
  c->gop_size = o.keyframeInterval;
  c->max_b_frames = o.maxBFrames;
  c->thread_count = 0;
  av_reduce(&c->sample_aspect_ratio.num, &c->sample_aspect_ratio.den, o.sampleAspectNum,
            o.sampleAspectDen, INT32_MAX);
  c->color_range = o.fullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
  const std::string matrix = Lower(o.colorMatrix);
  if (matrix == "bt709") {
    c->colorspace = AVCOL_SPC_BT709;
    c->color_primaries = AVCOL_PRI_BT709;
    c->color_trc = AVCOL_TRC_BT709;
  } else if (matrix == "bt601") {
    c->colorspace = AVCOL_SPC_SMPTE170M;
    c->color_primaries = AVCOL_PRI_SMPTE170M;
    c->color_trc = AVCOL_TRC_SMPTE170M;
  }
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  if (codec->id == AV_CODEC_ID_MJPEG) {
    c->pix_fmt = AV_PIX_FMT_YUVJ420P;  // full-range samples are what JPEG means
    c->color_range = AVCOL_RANGE_JPEG;
  }
  if (o.bitRate > 0) c->bit_rate = o.bitRate;
  const std::string hdr = Lower(o.hdr);
  if (!hdr.empty()) {
    c->pix_fmt = AV_PIX_FMT_YUV420P10;
    c->colorspace = AVCOL_SPC_BT2020_NCL;
    c->color_primaries = AVCOL_PRI_BT2020;
    c->color_trc = hdr == "pq"    ? AVCOL_TRC_SMPTE2084
                   : hdr == "hlg" ? AVCOL_TRC_ARIB_STD_B67
                                  : AVCOL_TRC_BT2020_10;
  }

  const std::string_view name = codec->name;
  if (name == "libx265") {
    av_dict_set(settings, "preset", "ultrafast", 0);
    if (o.bitRate == 0) av_dict_set(settings, "crf", "18", 0);
    std::string params = "log-level=error";
    if (hdr == "pq") {
      // A mastering display with BT.2020 primaries and a 1000 cd/m2 peak; content up to 2000 cd/m2.
      params +=
          ":hdr10=1:master-display=G(8500,39850)B(6550,2300)R(35400,14600)WP(15635,16450)"
          "L(10000000,50):max-cll=2000,400";
    }
    av_dict_set(settings, "x265-params", params.c_str(), 0);
  } else if (name == "libx264") {
    av_dict_set(settings, "preset", "ultrafast", 0);
    if (o.bitRate == 0) av_dict_set(settings, "crf", "20", 0);
    const std::string keys = Lower(o.keyFrames);
    if (keys == "first") {
      c->gop_size = static_cast<int>(std::min<int64_t>(o.frameCount + 1, INT32_MAX));
      av_dict_set(settings, "x264-params", "scenecut=0", 0);
    } else if (keys == "intra-refresh") {
      av_dict_set(settings, "intra-refresh", "1", 0);
    }
  } else if (name == "libvpx-vp9" || name == "libvpx") {
    av_dict_set(settings, "deadline", "realtime", 0);
    av_dict_set(settings, "cpu-used", "8", 0);
    av_dict_set(settings, "lag-in-frames", "0", 0);
    if (name == "libvpx-vp9") av_dict_set(settings, "row-mt", "1", 0);
    c->keyint_min = o.keyframeInterval;  // a key frame exactly every GOP
    if (o.bitRate == 0) {
      c->bit_rate =
          std::max<int64_t>(200'000, int64_t{o.width} * o.height * o.fpsNum / o.fpsDen / 4);
    }
  } else if (o.bitRate == 0) {
    c->flags |= AV_CODEC_FLAG_QSCALE;  // mpeg4, mpeg2video, mjpeg and friends
    c->global_quality = FF_QP2LAMBDA * 3;
  }
  if (codec->id == AV_CODEC_ID_MPEG2VIDEO || codec->id == AV_CODEC_ID_MPEG1VIDEO) {
    // A decoder buffer the program-stream muxer can plan with (MPEG-2 high level's).
    c->rc_buffer_size = 9'781'248;
    c->rc_max_rate = std::max<int64_t>(40'000'000, o.bitRate);
  }
}

class Writer {
 public:
  explicit Writer(const VideoOptions& options) : o_(options) {}
  bool Run(std::string* error);
  bool FileCreated() const { return fileCreated_; }

 private:
  bool Open(std::string* error);
  bool OpenAudio(const Container& container, std::string* error);
  bool Send(AVCodecContext* codec, AVStream* stream, const AVFrame* frame, bool video,
            std::string* error);
  bool WriteAudioUntil(int64_t videoFrame, std::string* error);  // -1: to the end

  const VideoOptions& o_;
  OutputPtr output_;
  CodecPtr video_, audio_;
  AVStream* videoStream_ = nullptr;
  AVStream* audioStream_ = nullptr;
  FramePtr picture_, sound_;
  PacketPtr packet_;
  int64_t audioSamples_ = 0, audioWritten_ = 0;
  int audioFrameSize_ = 0;
  bool fileCreated_ = false;
  bool audioStartsAtZero_ = false;
  bool unflaggedKeys_ = false;
  int64_t videoPackets_ = 0;
  int64_t videoShift_ = 0;  // the video's start in its codec's time base
  int64_t audioShift_ = AV_NOPTS_VALUE;
};

bool Writer::Open(std::string* error) {
  const Container* container = FindContainer(o_);
  if (!container) {
    if (!o_.container.empty()) return Fail(error, "unknown container \"" + o_.container + "\"");
    return Fail(error, "cannot tell the container from the file name \"" + o_.path + "\"");
  }
  const std::string codecName = !o_.codec.empty() ? o_.codec
                                : !o_.hdr.empty() ? "hevc"
                                                  : container->videoCodec;
  const AVCodec* codec = FindVideoEncoder(codecName);
  if (!codec) return Fail(error, "no encoder for video codec \"" + codecName + "\"");

  AVFormatContext* raw = nullptr;
  int rc = avformat_alloc_output_context2(&raw, nullptr, container->muxer, o_.path.c_str());
  if (rc < 0 || !raw)
    return Fail(error, std::string("cannot set up ") + container->name + ": " + av::ErrorText(rc));
  output_.reset(raw);
  if (avformat_query_codec(output_->oformat, codec->id, FF_COMPLIANCE_NORMAL) == 0) {
    return Fail(error, std::string(container->name) + " cannot hold " +
                           avcodec_get_name(codec->id) + " video");
  }
  if (o_.rotationDegrees != 0 && std::string_view(container->muxer) != "mp4" &&
      std::string_view(container->muxer) != "mov") {
    return Fail(error, std::string(container->name) + " does not keep a display rotation");
  }

  video_.reset(avcodec_alloc_context3(codec));
  if (!video_) return Fail(error, "out of memory");
  video_->log_level_offset = kLogLevelOffset;
  AVDictionary* settings = nullptr;
  ConfigureVideo(o_, codec, video_.get(), &settings);
  av::DictionaryPtr settingsOwner;
  std::string fourcc = o_.fourcc;
  if (fourcc.empty() && codec->id == AV_CODEC_ID_MPEG4 &&
      std::string_view(container->muxer) == "avi") {
    fourcc = "XVID";
  }
  if (!fourcc.empty()) {
    video_->codec_tag = MKTAG(fourcc[0], fourcc[1], fourcc[2], fourcc[3]);
  }
  if (output_->oformat->flags & AVFMT_GLOBALHEADER) video_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  rc = avcodec_open2(video_.get(), codec, &settings);
  settingsOwner.reset(settings);
  if (rc < 0)
    return Fail(error,
                std::string("cannot open the ") + codec->name + " encoder: " + av::ErrorText(rc));

  videoStream_ = avformat_new_stream(output_.get(), nullptr);
  if (!videoStream_) return Fail(error, "out of memory");
  rc = avcodec_parameters_from_context(videoStream_->codecpar, video_.get());
  if (rc < 0) return Fail(error, "cannot describe the video stream: " + av::ErrorText(rc));
  videoStream_->time_base = video_->time_base;
  // What the encoder tells the muxer (buffer sizes and rates for MPEG program streams).
  for (int i = 0; i < video_->nb_coded_side_data; ++i) {
    const AVPacketSideData& data = video_->coded_side_data[i];
    uint8_t* copy = av_stream_new_side_data(videoStream_, data.type, data.size);
    if (!copy) return Fail(error, "out of memory");
    std::memcpy(copy, data.data, data.size);
  }
  videoStream_->avg_frame_rate = video_->framerate;
  videoStream_->sample_aspect_ratio = video_->sample_aspect_ratio;
  if (o_.rotationDegrees != 0) {
    auto* matrix = reinterpret_cast<int32_t*>(
        av_stream_new_side_data(videoStream_, AV_PKT_DATA_DISPLAYMATRIX, sizeof(int32_t) * 9));
    if (!matrix) return Fail(error, "out of memory");
    // A clockwise turn, which ffprobe and av_display_rotation_get() report as a negative
    // (counter-clockwise) angle: -90 for a picture that players turn a quarter clockwise.
    av_display_rotation_set(matrix, o_.rotationDegrees);
  }

  if (o_.audioSeconds > 0 && !OpenAudio(*container, error)) return false;
  unflaggedKeys_ = Lower(o_.keyFrames) == "unflagged";
  videoShift_ = av_rescale_q(std::llround(o_.videoStart * 1e6), AV_TIME_BASE_Q, video_->time_base);

  rc = avio_open(&output_->pb, o_.path.c_str(), AVIO_FLAG_WRITE);
  if (rc < 0) return Fail(error, "cannot create \"" + o_.path + "\": " + av::ErrorText(rc));
  fileCreated_ = true;
  rc = avformat_write_header(output_.get(), nullptr);
  if (rc < 0)
    return Fail(error, std::string("cannot write the ") + container->name +
                           " header: " + av::ErrorText(rc));

  picture_.reset(av_frame_alloc());
  packet_.reset(av_packet_alloc());
  if (!picture_ || !packet_) return Fail(error, "out of memory");
  picture_->format = video_->pix_fmt;
  picture_->width = o_.width;
  picture_->height = o_.height;
  picture_->sample_aspect_ratio = video_->sample_aspect_ratio;
  picture_->color_range = video_->color_range;
  picture_->colorspace = video_->colorspace;
  picture_->color_primaries = video_->color_primaries;
  picture_->color_trc = video_->color_trc;
  rc = av_frame_get_buffer(picture_.get(), 0);
  if (rc < 0) return Fail(error, "cannot allocate a picture: " + av::ErrorText(rc));
  return true;
}

bool Writer::OpenAudio(const Container& container, std::string* error) {
  const std::string name = o_.audioCodec.empty() ? container.audioCodec : o_.audioCodec;
  const AVCodec* codec = FindAudioEncoder(name);
  if (!codec) return Fail(error, "no encoder for audio codec \"" + name + "\"");
  if (avformat_query_codec(output_->oformat, codec->id, FF_COMPLIANCE_NORMAL) == 0) {
    return Fail(error, std::string(container.name) + " cannot hold " + avcodec_get_name(codec->id) +
                           " audio");
  }
  audio_.reset(avcodec_alloc_context3(codec));
  if (!audio_) return Fail(error, "out of memory");
  audio_->log_level_offset = kLogLevelOffset;
  AVCodecContext* c = audio_.get();
  c->sample_rate = 48000;
  if (codec->supported_samplerates) {
    int best = codec->supported_samplerates[0];
    for (const int* rate = codec->supported_samplerates; *rate; ++rate) {
      if (*rate == 48000) best = 48000;
    }
    c->sample_rate = best;
  }
  c->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
  av_channel_layout_default(&c->ch_layout, 2);
  c->bit_rate = 96000;
  c->time_base = AVRational{1, c->sample_rate};
  c->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
  if (output_->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int rc = avcodec_open2(c, codec, nullptr);
  if (rc < 0)
    return Fail(error,
                std::string("cannot open the ") + codec->name + " encoder: " + av::ErrorText(rc));

  audioStream_ = avformat_new_stream(output_.get(), nullptr);
  if (!audioStream_) return Fail(error, "out of memory");
  rc = avcodec_parameters_from_context(audioStream_->codecpar, c);
  if (rc < 0) return Fail(error, "cannot describe the audio stream: " + av::ErrorText(rc));
  audioStream_->time_base = c->time_base;
  audioStartsAtZero_ = std::string_view(container.muxer) == "avi";

  audioFrameSize_ = c->frame_size > 0 ? c->frame_size : 1024;
  audioSamples_ = std::llround(o_.audioSeconds * c->sample_rate);
  sound_.reset(av_frame_alloc());
  if (!sound_) return Fail(error, "out of memory");
  sound_->format = c->sample_fmt;
  sound_->sample_rate = c->sample_rate;
  sound_->nb_samples = audioFrameSize_;
  rc = av_channel_layout_copy(&sound_->ch_layout, &c->ch_layout);
  if (rc >= 0) rc = av_frame_get_buffer(sound_.get(), 0);
  if (rc < 0) return Fail(error, "cannot allocate audio: " + av::ErrorText(rc));
  return true;
}

// Encodes one frame (nullptr: drains the encoder) and writes what comes out.
bool Writer::Send(AVCodecContext* codec, AVStream* stream, const AVFrame* frame, bool video,
                  std::string* error) {
  int rc = avcodec_send_frame(codec, frame);
  if (rc < 0) return Fail(error, std::string("encoding failed: ") + av::ErrorText(rc));
  for (;;) {
    rc = avcodec_receive_packet(codec, packet_.get());
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc < 0) return Fail(error, std::string("encoding failed: ") + av::ErrorText(rc));
    if (video && packet_->duration == 0)
      packet_->duration = 1;  // one frame in the codec's time base
    if (video) {
      // Key frames the container does not list as such.
      if (unflaggedKeys_ && videoPackets_ > 0) packet_->flags &= ~AV_PKT_FLAG_KEY;
      ++videoPackets_;
      if (packet_->pts != AV_NOPTS_VALUE) packet_->pts += videoShift_;
      if (packet_->dts != AV_NOPTS_VALUE) packet_->dts += videoShift_;
    }
    if (!video && audioStartsAtZero_) {
      // AVI has no time stamps: a negative start of the audio (encoder priming) would
      // make libavformat shift every stream, and the AVI muxer then fills the video's
      // gap with an empty frame. Audio in AVI simply starts with the file.
      if (audioShift_ == AV_NOPTS_VALUE) audioShift_ = packet_->dts;
      if (packet_->pts != AV_NOPTS_VALUE) packet_->pts -= audioShift_;
      if (packet_->dts != AV_NOPTS_VALUE) packet_->dts -= audioShift_;
    }
    av_packet_rescale_ts(packet_.get(), codec->time_base, stream->time_base);
    packet_->stream_index = stream->index;
    rc = av_interleaved_write_frame(output_.get(), packet_.get());
    if (rc < 0) return Fail(error, "cannot write \"" + o_.path + "\": " + av::ErrorText(rc));
  }
}

bool Writer::WriteAudioUntil(int64_t videoFrame, std::string* error) {
  if (!audio_) return true;
  while (audioWritten_ < audioSamples_) {
    if (videoFrame >= 0 && av_compare_ts(audioWritten_, audio_->time_base, videoFrame + videoShift_,
                                         video_->time_base) > 0) {
      return true;
    }
    int rc = av_frame_make_writable(sound_.get());
    if (rc < 0) return Fail(error, "cannot allocate audio: " + av::ErrorText(rc));
    int count = audioFrameSize_;
    const int64_t left = audioSamples_ - audioWritten_;
    if (left < count && (audio_->codec->capabilities &
                         (AV_CODEC_CAP_VARIABLE_FRAME_SIZE | AV_CODEC_CAP_SMALL_LAST_FRAME))) {
      count = static_cast<int>(left);
    }
    sound_->nb_samples = count;
    av_samples_set_silence(sound_->data, 0, count, sound_->ch_layout.nb_channels,
                           static_cast<AVSampleFormat>(sound_->format));
    sound_->pts = audioWritten_;
    if (!Send(audio_.get(), audioStream_, sound_.get(), false, error)) return false;
    audioWritten_ += count;
  }
  return true;
}

bool Writer::Run(std::string* error) {
  if (!Open(error)) return false;
  const detail::YuvPainter painter(o_.width, o_.height, picture_->color_range == AVCOL_RANGE_JPEG);
  const std::string hdr = Lower(o_.hdr);
  detail::HdrPainter hdrPainter(o_.width, o_.height,
                                hdr == "pq"    ? detail::HdrKind::pq
                                : hdr == "hlg" ? detail::HdrKind::hlg
                                               : detail::HdrKind::wideGamut);
  for (int64_t n = 0; n < o_.frameCount; ++n) {
    if (!WriteAudioUntil(n, error)) return false;
    int rc = av_frame_make_writable(picture_.get());
    if (rc < 0) return Fail(error, "cannot allocate a picture: " + av::ErrorText(rc));
    const bool black = std::any_of(
        o_.blackFrames.begin(), o_.blackFrames.end(),
        [n](const VideoOptions::FrameRange& range) { return n >= range.first && n <= range.last; });
    if (black) {
      painter.PaintBlack(picture_->data, picture_->linesize);
    } else if (hdr.empty()) {
      painter.Paint(n, picture_->data, picture_->linesize);
    } else {
      hdrPainter.Paint(n, picture_->data, picture_->linesize);
    }
    picture_->pts = n;
    // Keep the GOP regular for encoders that decide on their own.
    // Only the first picture is forced to be a key frame where the layout
    // has no others.
    const std::string keys = Lower(o_.keyFrames);
    const bool forceKey =
        keys == "first" || keys == "intra-refresh" ? n == 0 : n % o_.keyframeInterval == 0;
    picture_->pict_type = forceKey ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    if (!Send(video_.get(), videoStream_, picture_.get(), true, error)) return false;
  }
  if (!Send(video_.get(), videoStream_, nullptr, true, error)) return false;
  if (!WriteAudioUntil(-1, error)) return false;
  if (audio_ && !Send(audio_.get(), audioStream_, nullptr, false, error)) return false;
  const int rc = av_write_trailer(output_.get());
  if (rc < 0) return Fail(error, "cannot finish \"" + o_.path + "\": " + av::ErrorText(rc));
  if (output_->pb) {
    avio_flush(output_->pb);
    if (output_->pb->error < 0)
      return Fail(error, "cannot write \"" + o_.path + "\": " + av::ErrorText(output_->pb->error));
    const int closed = avio_closep(&output_->pb);
    if (closed < 0)
      return Fail(error, "cannot write \"" + o_.path + "\": " + av::ErrorText(closed));
  }
  return true;
}

}  // namespace

bool Generate(const VideoOptions& options, std::string* error) {
  if (error) error->clear();
  const std::string problem = CheckOptions(options);
  if (!problem.empty()) return Fail(error, problem);
  bool created = false;
  {
    Writer writer(options);
    if (writer.Run(error)) return true;
    created = writer.FileCreated();
  }  // the writer has closed the file here
  if (created) std::remove(options.path.c_str());
  return false;
}

}  // namespace ombrelo::testvideo
