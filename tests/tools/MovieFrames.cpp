#include "MovieFrames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace dla::tools::test {

TMovie DecodeMovie(const std::string& path) {
  TMovie movie;
  AVFormatContext* input = nullptr;
  if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) != 0) {
    ADD_FAILURE() << "FFmpeg cannot open " << path;
    return movie;
  }
  const std::unique_ptr<AVFormatContext*, void (*)(AVFormatContext**)> closeInput(&input, avformat_close_input);
  const AVCodec* codec = nullptr;
  const int stream = avformat_find_stream_info(input, nullptr) < 0
                         ? -1
                         : av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (stream < 0) {
    ADD_FAILURE() << "no video stream in " << path;
    return movie;
  }
  AVCodecContext* decoder = avcodec_alloc_context3(codec);
  const std::unique_ptr<AVCodecContext*, void (*)(AVCodecContext**)> freeDecoder(&decoder, avcodec_free_context);
  if (avcodec_parameters_to_context(decoder, input->streams[stream]->codecpar) < 0 ||
      avcodec_open2(decoder, codec, nullptr) < 0) {
    ADD_FAILURE() << "cannot decode " << path;
    return movie;
  }
  movie.Container = input->iformat->name;
  movie.Codec = codec->name;
  movie.Width = decoder->width;
  movie.Height = decoder->height;
  const char* pixels = av_get_pix_fmt_name(decoder->pix_fmt);
  movie.PixelFormat = pixels != nullptr ? pixels : "";
  movie.Rate = av_q2d(input->streams[stream]->avg_frame_rate);

  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  SwsContext* convert = nullptr;
  const auto take = [&]() {
    while (avcodec_receive_frame(decoder, frame) == 0) {
      convert = sws_getCachedContext(convert, frame->width, frame->height,
                                     static_cast<AVPixelFormat>(frame->format), frame->width,
                                     frame->height, AV_PIX_FMT_RGB32, SWS_POINT, nullptr, nullptr,
                                     nullptr);
      // The converter writes whole vectors: rows of a narrow frame need room
      // beyond their end.
      const auto width = static_cast<std::size_t>(frame->width);
      const std::size_t stride = (width + 15) / 16 * 16;
      std::vector<std::uint32_t> padded(stride * static_cast<std::size_t>(frame->height + 1));
      std::uint8_t* planes[1] = {reinterpret_cast<std::uint8_t*>(padded.data())};
      const int strides[1] = {4 * static_cast<int>(stride)};
      sws_scale(convert, frame->data, frame->linesize, 0, frame->height, planes, strides);
      std::vector<std::uint32_t> rgb(width * static_cast<std::size_t>(frame->height));
      for (int y = 0; y < frame->height; ++y) {
        std::copy_n(padded.data() + static_cast<std::size_t>(y) * stride, width, rgb.data() + y * width);
      }
      movie.Frames.push_back(std::move(rgb));
    }
  };
  while (av_read_frame(input, packet) == 0) {
    if (packet->stream_index == stream) {
      movie.Durations.push_back(static_cast<double>(packet->duration) *
                                av_q2d(input->streams[stream]->time_base));
      EXPECT_EQ(avcodec_send_packet(decoder, packet), 0) << path;
      take();
    }
    av_packet_unref(packet);
  }
  avcodec_send_packet(decoder, nullptr);
  take();
  sws_freeContext(convert);
  av_frame_free(&frame);
  av_packet_free(&packet);
  return movie;
}

}  // namespace dla::tools::test
