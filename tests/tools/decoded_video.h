#pragma once
// Test helpers: decode a video to RGB frames, write JPEG and BMP files, run ffprobe.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/ffmpeg_support.h"

extern "C" {
#include <jpeglib.h>
}

namespace ombrelo::testing {

struct RgbPicture {
  int width = 0, height = 0, stride = 0;
  std::vector<uint8_t> pixels;  // RGB24, rows top-down
  const uint8_t* data() const { return pixels.data(); }
};

// Scales (or just converts) a decoded frame to RGB24.
inline RgbPicture ToRgb(const AVFrame* frame, int width, int height) {
  RgbPicture picture;
  picture.width = width;
  picture.height = height;
  picture.stride = width * 3;
  picture.pixels.resize(static_cast<size_t>(picture.stride) * height);
  const av::SwsPtr sws(sws_getContext(frame->width, frame->height,
                                      static_cast<AVPixelFormat>(frame->format), width, height,
                                      AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr));
  if (!sws) return {};
  uint8_t* dst[4] = {picture.pixels.data(), nullptr, nullptr, nullptr};
  int dstStride[4] = {picture.stride, 0, 0, 0};
  sws_scale(sws.get(), frame->data, frame->linesize, 0, frame->height, dst, dstStride);
  return picture;
}

struct DecodedFrame {
  const AVFrame* frame;
  int64_t index;   // decode order of output, from 0
  double seconds;  // best-effort time from the stream's start
};

// Decodes every frame of the file's best video stream and hands it to `onFrame`.
// Returns the number of frames, or -1 when the file cannot be decoded.
inline int64_t DecodeVideo(const std::string& path,
                           const std::function<void(const DecodedFrame&)>& onFrame) {
  AVFormatContext* input = nullptr;
  if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0) return -1;
  const av::FormatPtr inputOwner(input);
  if (avformat_find_stream_info(input, nullptr) < 0) return -1;
  const AVCodec* codec = nullptr;
  const int index = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (index < 0 || !codec) return -1;
  AVStream* stream = input->streams[index];
  const av::CodecPtr decoder(avcodec_alloc_context3(codec));
  if (avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0) return -1;
  decoder->thread_count = 0;
  if (avcodec_open2(decoder.get(), codec, nullptr) < 0) return -1;
  const av::FramePtr frame(av_frame_alloc());
  const av::PacketPtr packet(av_packet_alloc());
  const int64_t start = av::StreamStart(stream);
  int64_t count = 0;
  bool draining = false;
  for (;;) {
    const int rc = avcodec_receive_frame(decoder.get(), frame.get());
    if (rc == 0) {
      const int64_t units = av::TicksToUnits(av::FrameTime(frame.get()), stream->time_base, start);
      const double seconds = units == AV_NOPTS_VALUE ? -1 : static_cast<double>(units) * 1e-7;
      onFrame(DecodedFrame{frame.get(), count++, seconds});
      av_frame_unref(frame.get());
      continue;
    }
    if (rc == AVERROR_EOF) break;
    if (rc != AVERROR(EAGAIN)) return -1;
    if (draining) break;
    for (;;) {
      if (av_read_frame(input, packet.get()) < 0) {
        avcodec_send_packet(decoder.get(), nullptr);
        draining = true;
        break;
      }
      if (packet->stream_index == index) {
        avcodec_send_packet(decoder.get(), packet.get());
        av_packet_unref(packet.get());
        break;
      }
      av_packet_unref(packet.get());
    }
  }
  return count;
}

// Writes RGB24 rows as a baseline JPEG of the given quality. False on failure.
inline bool WriteJpeg(const std::string& path, const RgbPicture& picture, int quality) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);  // only well-formed input here
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(picture.width);
  info.image_height = static_cast<JDIMENSION>(picture.height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(picture.data()) +
                   static_cast<size_t>(info.next_scanline) * picture.stride;
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return std::fclose(file) == 0;
}

// A 24-bit BMP: bottom-up rows (positive height) unless topDown.
inline std::string BmpBytes(const RgbPicture& picture, bool topDown) {
  const int rowBytes = (picture.width * 3 + 3) & ~3;
  const uint32_t imageSize = static_cast<uint32_t>(rowBytes) * picture.height;
  std::string b(54 + imageSize, '\0');
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put32(2, static_cast<uint32_t>(b.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(picture.width));
  put32(22, static_cast<uint32_t>(topDown ? -picture.height : picture.height));
  b[26] = 1;
  b[28] = 24;
  put32(34, imageSize);
  for (int y = 0; y < picture.height; ++y) {
    const int fileRow = topDown ? y : picture.height - 1 - y;
    const uint8_t* src = picture.data() + static_cast<size_t>(y) * picture.stride;
    char* dst = b.data() + 54 + static_cast<size_t>(fileRow) * rowBytes;
    for (int x = 0; x < picture.width; ++x) {  // RGB to BGR
      dst[3 * x] = static_cast<char>(src[3 * x + 2]);
      dst[3 * x + 1] = static_cast<char>(src[3 * x + 1]);
      dst[3 * x + 2] = static_cast<char>(src[3 * x]);
    }
  }
  return b;
}

// Runs /usr/bin/ffprobe with the given arguments before the file name and returns its output.
inline std::string Probe(const std::string& arguments, const std::string& path) {
  std::string quoted = "'";
  for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  quoted += "'";
  const std::string command = "/usr/bin/ffprobe -v error " + arguments + " " + quoted + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {};
  std::string output;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  pclose(pipe);
  return output;
}

}  // namespace ombrelo::testing
