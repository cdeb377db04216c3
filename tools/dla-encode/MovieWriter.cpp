#include "MovieWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace dla::tools {
namespace {

// FFmpeg 6.1 made the written buffer const.
#if LIBAVFORMAT_VERSION_MAJOR >= 61
using TWriteBuffer = const std::uint8_t*;
#else
using TWriteBuffer = std::uint8_t*;
#endif

constexpr int IoBufferSize = 1 << 16;

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// FFmpeg's own messages, kept from standard error: its errors since the last
// call checked, which say why that call failed. Codec threads log too.
std::mutex logged;
std::string errorsLogged;

void KeepErrors(void* context, int level, const char* format, va_list args) {
  if (level > AV_LOG_ERROR) return;
  char line[1024];
  int prefix = 0;  // without "[libx264 @ 0x...]"
  av_log_format_line2(context, level, format, args, line, sizeof line, &prefix);
  std::string text(line);
  const std::size_t start = text.find_first_not_of(" \t\n");
  if (start == std::string::npos) return;
  text = text.substr(start, text.find_last_not_of(" \t\n") + 1 - start);
  const std::lock_guard lock(logged);
  if (errorsLogged.size() > 2000) return;
  errorsLogged += (errorsLogged.empty() ? "" : "; ") + text;
}

std::string TakeErrorsLogged() {
  const std::lock_guard lock(logged);
  return std::exchange(errorsLogged, {});
}

void Check(int code, const char* what) {
  const std::string reasons = TakeErrorsLogged();
  if (code < 0) {
    throw std::runtime_error(std::string(what) + ": " + AvError(code) +
                             (reasons.empty() ? "" : " (" + reasons + ")"));
  }
}

struct TEncoding {
  const char* Muxer;
  const char* Encoder;
  AVPixelFormat Pixels;
  bool EvenSides;
};

TEncoding EncodingOf(EMovieFormat format) {
  switch (format) {
    case EMovieFormat::Mp4:
      return {"mp4", "libx264", AV_PIX_FMT_YUV420P, true};
    case EMovieFormat::WebM:
      return {"webm", "libvpx-vp9", AV_PIX_FMT_YUV420P, true};
    case EMovieFormat::Gif:
      return {"gif", "gif", AV_PIX_FMT_PAL8, false};
    case EMovieFormat::Mkv:
      break;
  }
  // The top byte is always 255 here: FFV1 need not store it.
  return {"matroska", "ffv1", AV_PIX_FMT_0RGB32, false};
}

// The palette index of a pixel for GIF: 0 white, 1 black, 2 red; any other
// colour the nearest of the three.
std::uint8_t PaletteIndex(std::uint32_t pixel) noexcept {
  switch (pixel & 0x00FFFFFFu) {
    case 0x00FFFFFFu:
      return 0;
    case 0x00000000u:
      return 1;
    case 0x00FF0000u:
      return 2;
    default:
      break;
  }
  const int r = static_cast<int>(pixel >> 16 & 0xFF), g = static_cast<int>(pixel >> 8 & 0xFF),
            b = static_cast<int>(pixel & 0xFF);
  const int white = (255 - r) * (255 - r) + (255 - g) * (255 - g) + (255 - b) * (255 - b);
  const int black = r * r + g * g + b * b;
  const int red = (255 - r) * (255 - r) + g * g + b * b;
  if (white <= black && white <= red) return 0;
  return black <= red ? 1 : 2;
}

// Where the movie goes, as FFmpeg's I/O: written through, seekable when it
// is a regular file.
struct TOutput {
  int Fd;
  const std::atomic<bool>* Stop;
};

int WritePacket(void* opaque, TWriteBuffer buffer, int size) {
  const TOutput& output = *static_cast<TOutput*>(opaque);
  int left = size;
  while (left > 0) {
    const ssize_t written = ::write(output.Fd, buffer, static_cast<std::size_t>(left));
    if (written < 0) {
      if (errno == EINTR && !(output.Stop && output.Stop->load(std::memory_order_relaxed))) continue;
      return AVERROR(errno);
    }
    buffer += written;
    left -= static_cast<int>(written);
  }
  return size;
}

std::int64_t SeekDescriptor(int fd, std::int64_t offset, int whence, std::int64_t* position) {
  whence &= ~AVSEEK_FORCE;
  if (whence == AVSEEK_SIZE) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? info.st_size : AVERROR(errno);
  }
  if (position == nullptr) {
    const off_t at = ::lseek(fd, offset, whence);
    return at < 0 ? AVERROR(errno) : at;
  }
  // A reader keeps its own position and reads with pread, so that it does
  // not move the writer's.
  std::int64_t base = 0;
  if (whence == SEEK_CUR) base = *position;
  if (whence == SEEK_END) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return AVERROR(errno);
    base = info.st_size;
  }
  *position = base + offset;
  return *position;
}

int64_t SeekOutput(void* opaque, int64_t offset, int whence) {
  return SeekDescriptor(static_cast<TOutput*>(opaque)->Fd, offset, whence, nullptr);
}

// What an MP4's second pass reads the file with, to move its index to the
// front.
struct TReader {
  int Fd;
  std::int64_t Position = 0;
};

int ReadPacket(void* opaque, std::uint8_t* buffer, int size) {
  auto* reader = static_cast<TReader*>(opaque);
  for (;;) {
    const ssize_t got = ::pread(reader->Fd, buffer, static_cast<std::size_t>(size), reader->Position);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return AVERROR(errno);
    if (got == 0) return AVERROR_EOF;
    reader->Position += got;
    return static_cast<int>(got);
  }
}

int64_t SeekReader(void* opaque, int64_t offset, int whence) {
  auto* reader = static_cast<TReader*>(opaque);
  return SeekDescriptor(reader->Fd, offset, whence, &reader->Position);
}

}  // namespace

struct TMovieWriter::TState {
  TEncoding Encoding;
  int Width, Height;
  TOutput Output;
  AVFormatContext* Container = nullptr;
  AVCodecContext* Codec = nullptr;
  AVStream* Stream = nullptr;
  AVFrame* Frame = nullptr;
  AVPacket* Packet = nullptr;
  SwsContext* Scale = nullptr;
  // The frame widened to even sides, the margin white, for the converter.
  std::vector<std::uint32_t> Padded;
  std::int64_t Frames = 0;
  int Fps = 25;
  // GIF: the frame not yet encoded, and when it is shown, in hundredths of
  // a second (GifTime).
  bool Held = false;
  std::int64_t HeldAt = 0;

  ~TState() {
    sws_freeContext(Scale);
    av_packet_free(&Packet);
    av_frame_free(&Frame);
    avcodec_free_context(&Codec);
    if (Container != nullptr) {
      if (Container->pb != nullptr) {
        av_freep(&Container->pb->buffer);
        avio_context_free(&Container->pb);
      }
      avformat_free_context(Container);
    }
  }

  static int OpenReader(AVFormatContext* container, AVIOContext** io, const char*, int flags,
                        AVDictionary**) {
    if ((flags & AVIO_FLAG_WRITE) != 0) return AVERROR(EINVAL);
    auto* self = static_cast<TState*>(container->opaque);
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(IoBufferSize));
    auto* reader = new TReader{self->Output.Fd};
    *io = avio_alloc_context(buffer, IoBufferSize, 0, reader, ReadPacket, nullptr, SeekReader);
    if (*io == nullptr) {
      av_free(buffer);
      delete reader;
      return AVERROR(ENOMEM);
    }
    return 0;
  }

  static int CloseReader(AVFormatContext*, AVIOContext* io) {
    if (io == nullptr) return 0;
    delete static_cast<TReader*>(io->opaque);
    av_freep(&io->buffer);
    avio_context_free(&io);
    return 0;
  }

  // When frame i begins in a GIF, in the hundredths of a second in which
  // GIF counts its delays. Players show a delay below 2 as 10, so above 50
  // frames a second the movie shows one frame in each 1/50 s: the last that
  // began in it, which is the one held when the next 1/50 s begins.
  std::int64_t GifTime(std::int64_t frame) const {
    if (Fps <= 50) return av_rescale_rnd(frame, 100, Fps, AV_ROUND_NEAR_INF);
    return 2 * (50 * frame / Fps);
  }

  void Encode(std::int64_t pts) {
    Frame->pts = pts;
    Check(avcodec_send_frame(Codec, Frame), "cannot encode a frame");
    Drain();
  }

  // Hands every packet the encoder has ready to the container.
  void Drain() {
    for (;;) {
      const int received = avcodec_receive_packet(Codec, Packet);
      if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return;
      Check(received, "cannot encode a frame");
      // Every frame lasts one tick; a container that is not told so (MP4)
      // gives the last frame no time and players drop it.
      if (Packet->duration == 0) Packet->duration = 1;
      av_packet_rescale_ts(Packet, Codec->time_base, Stream->time_base);
      Packet->stream_index = Stream->index;
      Check(av_interleaved_write_frame(Container, Packet), "cannot write the movie");
    }
  }
};

TMovieWriter::TMovieWriter(EMovieFormat format, int width, int height, int fps, int fd, int threads,
                           const std::atomic<bool>* stop)
    : state_(std::make_unique<TState>()) {
  av_log_set_callback(KeepErrors);
  if (const std::optional<std::string> refusal = MovieSizeRefusal(format, width, height)) {
    throw std::runtime_error(*refusal);
  }
  if (fps < 1 || fps > 1000 || threads < 0 || threads > 64) {
    throw std::runtime_error("a movie at " + std::to_string(fps) + " frames a second on " +
                             std::to_string(threads) + " threads cannot be made");
  }
  TState& s = *state_;
  s.Encoding = EncodingOf(format);
  s.Width = width;
  s.Height = height;
  s.Output = {fd, stop};

  Check(avformat_alloc_output_context2(&s.Container, nullptr, s.Encoding.Muxer, nullptr),
        "cannot make the container");
  const AVCodec* codec = avcodec_find_encoder_by_name(s.Encoding.Encoder);
  if (codec == nullptr) {
    throw std::runtime_error(std::string("this FFmpeg has no ") + s.Encoding.Encoder + " encoder");
  }
  s.Stream = avformat_new_stream(s.Container, nullptr);
  s.Codec = avcodec_alloc_context3(codec);
  s.Frame = av_frame_alloc();
  s.Packet = av_packet_alloc();
  if (s.Stream == nullptr || s.Codec == nullptr || s.Frame == nullptr || s.Packet == nullptr) {
    throw std::bad_alloc();
  }
  const int codedWidth = s.Encoding.EvenSides ? (width + 1) / 2 * 2 : width;
  const int codedHeight = s.Encoding.EvenSides ? (height + 1) / 2 * 2 : height;
  s.Codec->width = codedWidth;
  s.Codec->height = codedHeight;
  s.Codec->pix_fmt = s.Encoding.Pixels;
  // A GIF counts in hundredths of a second (GifTime).
  s.Codec->time_base = format == EMovieFormat::Gif ? AVRational{1, 100} : AVRational{1, fps};
  s.Codec->framerate = AVRational{fps, 1};
  s.Fps = fps;
  if ((s.Container->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
    s.Codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  AVDictionary* options = nullptr;
  switch (format) {
    case EMovieFormat::Mp4:
      // The pictures are flat colours: a fast preset loses little, and the
      // encoder keeps up with the run better.
      av_dict_set(&options, "preset", "veryfast", 0);
      av_dict_set(&options, "crf", "20", 0);
      av_dict_set(&options, "profile", "high", 0);
      break;
    case EMovieFormat::WebM:
      av_dict_set(&options, "deadline", "realtime", 0);
      av_dict_set(&options, "cpu-used", "8", 0);
      av_dict_set(&options, "row-mt", "1", 0);
      av_dict_set(&options, "crf", "30", 0);
      s.Codec->bit_rate = 0;
      break;
    case EMovieFormat::Gif:
      break;
    case EMovieFormat::Mkv:
      // Level 3: slices, which threads encode side by side, each with its
      // checksum. The range coder makes the file a third of the size for a
      // quarter more time.
      av_dict_set(&options, "level", "3", 0);
      av_dict_set(&options, "slices", "4", 0);
      av_dict_set(&options, "slicecrc", "1", 0);
      av_dict_set(&options, "coder", "range_def", 0);
      if (threads == 0) threads = 2;
      break;
  }
  if (threads > 0) av_dict_set(&options, "threads", std::to_string(threads).c_str(), 0);
  if (s.Encoding.Pixels == AV_PIX_FMT_YUV420P) {
    // What the converter below does: BT.601, limited range.
    s.Codec->color_range = AVCOL_RANGE_MPEG;
    s.Codec->colorspace = AVCOL_SPC_SMPTE170M;
    s.Codec->color_primaries = AVCOL_PRI_SMPTE170M;
    s.Codec->color_trc = AVCOL_TRC_SMPTE170M;
  }
  const int opened = avcodec_open2(s.Codec, codec, &options);
  av_dict_free(&options);
  Check(opened, "cannot start the encoder");
  Check(avcodec_parameters_from_context(s.Stream->codecpar, s.Codec), "cannot set up the stream");
  s.Stream->time_base = s.Codec->time_base;

  struct stat info {};
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  const int access = ::fcntl(fd, F_GETFL) & O_ACCMODE;
  auto* buffer = static_cast<std::uint8_t*>(av_malloc(IoBufferSize));
  s.Container->pb = avio_alloc_context(buffer, IoBufferSize, 1, &s.Output, nullptr, WritePacket,
                                       regular ? SeekOutput : nullptr);
  if (s.Container->pb == nullptr) {
    av_free(buffer);
    throw std::bad_alloc();
  }
  s.Container->flags |= AVFMT_FLAG_CUSTOM_IO;
  s.Container->opaque = &s;
  s.Container->io_open = TState::OpenReader;
  s.Container->io_close2 = TState::CloseReader;
  AVDictionary* muxing = nullptr;
  if (format == EMovieFormat::Mp4 && !regular) {
    av_dict_set(&muxing, "movflags", "frag_keyframe+empty_moov+default_base_moof", 0);
  } else if (format == EMovieFormat::Mp4 && access == O_RDWR) {
    av_dict_set(&muxing, "movflags", "faststart", 0);
  }
  const int header = avformat_write_header(s.Container, &muxing);
  av_dict_free(&muxing);
  Check(header, "cannot write the movie");

  s.Frame->format = s.Encoding.Pixels;
  s.Frame->width = codedWidth;
  s.Frame->height = codedHeight;
  Check(av_frame_get_buffer(s.Frame, 0), "cannot make a frame");
  if (s.Encoding.Pixels == AV_PIX_FMT_YUV420P) {
    s.Scale = sws_getContext(codedWidth, codedHeight, AV_PIX_FMT_RGB32, codedWidth, codedHeight,
                             AV_PIX_FMT_YUV420P, SWS_POINT | SWS_ACCURATE_RND, nullptr, nullptr,
                             nullptr);
    if (s.Scale == nullptr) throw std::runtime_error("cannot convert frames to yuv420p");
    if (codedWidth != width || codedHeight != height) {
      s.Padded.assign(static_cast<std::size_t>(codedWidth) * codedHeight, 0xFFFFFFFFu);
    }
  }
}

TMovieWriter::~TMovieWriter() = default;

std::int64_t TMovieWriter::Frames() const noexcept { return state_->Frames; }

void TMovieWriter::Write(const std::uint32_t* pixels) {
  TState& s = *state_;
  const bool gif = s.Encoding.Pixels == AV_PIX_FMT_PAL8;
  if (gif) {
    // A frame that begins in the same hundredths as the held one replaces
    // it.
    const std::int64_t at = s.GifTime(s.Frames);
    if (s.Held && at > s.HeldAt) {
      s.Encode(s.HeldAt);
      s.Held = false;
    }
    if (!s.Held) s.HeldAt = at;
  }
  Check(av_frame_make_writable(s.Frame), "cannot make a frame");
  const auto width = static_cast<std::size_t>(s.Width);
  switch (s.Encoding.Pixels) {
    case AV_PIX_FMT_YUV420P: {
      const std::uint32_t* source = pixels;
      if (!s.Padded.empty()) {
        for (int y = 0; y < s.Height; ++y) {
          std::copy_n(pixels + y * width, width,
                      s.Padded.data() + static_cast<std::size_t>(y) * s.Codec->width);
        }
        source = s.Padded.data();
      }
      const std::uint8_t* planes[1] = {reinterpret_cast<const std::uint8_t*>(source)};
      const int strides[1] = {4 * s.Codec->width};
      sws_scale(s.Scale, planes, strides, 0, s.Codec->height, s.Frame->data, s.Frame->linesize);
      break;
    }
    case AV_PIX_FMT_PAL8: {
      auto* palette = reinterpret_cast<std::uint32_t*>(s.Frame->data[1]);
      // Every other entry fully transparent: the encoder then draws only
      // what changed since the last frame.
      std::fill_n(palette, 256, 0u);
      palette[0] = 0xFFFFFFFFu;
      palette[1] = 0xFF000000u;
      palette[2] = 0xFFFF0000u;
      for (int y = 0; y < s.Height; ++y) {
        std::uint8_t* row = s.Frame->data[0] + static_cast<std::ptrdiff_t>(y) * s.Frame->linesize[0];
        const std::uint32_t* in = pixels + y * width;
        for (std::size_t x = 0; x < width; ++x) row[x] = PaletteIndex(in[x]);
      }
      break;
    }
    default:
      for (int y = 0; y < s.Height; ++y) {
        std::memcpy(s.Frame->data[0] + static_cast<std::ptrdiff_t>(y) * s.Frame->linesize[0],
                    pixels + y * width, 4 * width);
      }
      break;
  }
  ++s.Frames;
  if (gif) {
    s.Held = true;
  } else {
    s.Encode(s.Frames - 1);
  }
}

void TMovieWriter::Finish() {
  TState& s = *state_;
  if (s.Frames == 0) throw std::runtime_error("a movie needs at least one frame");
  if (s.Held) {
    s.Encode(s.HeldAt);
    // The container times a frame by the next one's start; the last lasts
    // until the movie's end, at least the 2 hundredths that players keep.
    const std::int64_t end = av_rescale_rnd(s.Frames, 100, s.Fps, AV_ROUND_NEAR_INF);
    Check(av_opt_set_int(s.Container->priv_data, "final_delay", std::max<std::int64_t>(2, end - s.HeldAt), 0),
          "cannot time the last frame");
  }
  Check(avcodec_send_frame(s.Codec, nullptr), "cannot finish the encoding");
  s.Drain();
  Check(av_write_trailer(s.Container), "cannot finish the movie");
  avio_flush(s.Container->pb);
  Check(s.Container->pb->error, "cannot write the movie");
}

}  // namespace dla::tools
