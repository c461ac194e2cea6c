#include "encoding/CodecConversionStream.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "encoding/CodecLibraryError.h"
#include "encoding/FormatRecord.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

constexpr int32_t kMinRate = 1000;
constexpr int32_t kMaxRate = 192000;
// Samples per channel of one frame for codecs that take frames of any length.
constexpr int kVariableFrameSamples = 4096;
// Output samples a resampler may hold back or add around one second (filter delay).
constexpr int kResamplerSlack = 256;

// How a target's output size grows with its samples.
enum class SizeRule { PerSample, PerBlock, Mpeg };

// What the target record asks of the encoder.
struct TargetPlan {
  const char* encoder = nullptr;  // libavcodec encoder name
  int rate = 0;
  int channels = 0;
  int64_t bitRate = 0;      // bits per second, MPEG Layer-3 only
  int blockSize = 0;        // ADPCM block bytes handed to the encoder, 0 = codec default
  int samplesPerBlock = 0;  // what the record announces; checked against the opened encoder
  int blockAlign = 0;       // record's nBlockAlign
  SizeRule size = SizeRule::PerSample;
};

std::string AvError(const std::string& call, int code) { return CodecLibraryError::Text(call, code); }

// "adpcm_ima_wav, 40000 Hz, 2 channels, 3072-byte blocks": what the encoder is asked
// for, so a refusal names the parameters.
std::string Describe(const TargetPlan& plan) {
  std::string text = std::string(plan.encoder) + ", " + std::to_string(plan.rate) + " Hz, " +
                     std::to_string(plan.channels) + (plan.channels == 1 ? " channel" : " channels");
  if (plan.blockSize > 0) text += ", " + std::to_string(plan.blockSize) + "-byte blocks";
  if (plan.bitRate > 0) text += ", " + std::to_string(plan.bitRate) + " bit/s";
  return text;
}

bool IsPcm16(const WAVEFORMATEX& wfx) {
  return wfx.wFormatTag == WAVE_FORMAT_PCM && wfx.wBitsPerSample == 16 && wfx.nChannels >= 1 &&
         wfx.nSamplesPerSec >= 1 && wfx.nBlockAlign == 2 * wfx.nChannels;
}

bool ValidShape(const WAVEFORMATEX& wfx) {
  return wfx.nChannels >= 1 && wfx.nChannels <= 2 && wfx.nSamplesPerSec >= kMinRate && wfx.nSamplesPerSec <= kMaxRate;
}

bool MatchesStandardCoefficients(std::span<const uint8_t> target) {
  if (FormatRecord::ExtraWord(target, 2) != 7) return false;
  for (int i = 0; i < 7; ++i) {
    for (int j = 0; j < 2; ++j) {
      const auto stored = static_cast<int16_t>(FormatRecord::ExtraWord(target, 4 + 4 * i + 2 * j));
      if (stored != FormatRecord::kMSCoefficients[i][j]) return false;
    }
  }
  return true;
}

// Reads the target record; nullopt with `why` set when no encoder here produces it.
std::optional<TargetPlan> PlanFor(std::span<const uint8_t> target, std::string& why) {
  if (target.size() < static_cast<size_t>(WAVEFORMATEX::kSize)) {
    why = "target format record shorter than 18 bytes";
    return std::nullopt;
  }
  const WAVEFORMATEX wfx = WAVEFORMATEX::FromBytes(target);
  why = "unsupported target format";
  if (!ValidShape(wfx)) return std::nullopt;
  TargetPlan plan;
  plan.rate = static_cast<int>(wfx.nSamplesPerSec);
  plan.channels = wfx.nChannels;
  plan.blockAlign = wfx.nBlockAlign;
  switch (wfx.wFormatTag) {
    case WAVE_FORMAT_PCM:
      if (wfx.wBitsPerSample != 8 && wfx.wBitsPerSample != 16) return std::nullopt;
      if (wfx.nBlockAlign != wfx.nChannels * wfx.wBitsPerSample / 8) return std::nullopt;
      plan.encoder = wfx.wBitsPerSample == 8 ? "pcm_u8" : "pcm_s16le";
      return plan;
    case WAVE_FORMAT_ALAW:
    case WAVE_FORMAT_MULAW:
      if (wfx.wBitsPerSample != 8 || wfx.nBlockAlign != wfx.nChannels) return std::nullopt;
      plan.encoder = wfx.wFormatTag == WAVE_FORMAT_ALAW ? "pcm_alaw" : "pcm_mulaw";
      return plan;
    case WAVE_FORMAT_IMA_ADPCM:
    case WAVE_FORMAT_ADPCM: {
      const bool ima = wfx.wFormatTag == WAVE_FORMAT_IMA_ADPCM;
      plan.encoder = ima ? "adpcm_ima_wav" : "adpcm_ms";
      plan.blockSize = wfx.nBlockAlign;
      plan.samplesPerBlock = FormatRecord::ExtraWord(target, 0);
      plan.size = SizeRule::PerBlock;
      // Our MS ADPCM encoder uses the seven standard coefficient pairs only.
      const bool coefficientsFit = ima || MatchesStandardCoefficients(target);
      if (wfx.wBitsPerSample != 4 || plan.samplesPerBlock < 1 || !coefficientsFit) return std::nullopt;
      return plan;
    }
    case WAVE_FORMAT_GSM610:
      plan.encoder = "libgsm_ms";
      plan.samplesPerBlock = FormatRecord::ExtraWord(target, 0);
      plan.size = SizeRule::PerBlock;
      if (plan.rate != 8000 || plan.channels != 1 || wfx.nBlockAlign != 65) return std::nullopt;
      return plan;
    case WAVE_FORMAT_MPEGLAYER3:
      plan.encoder = "libmp3lame";
      plan.bitRate = static_cast<int64_t>(wfx.nAvgBytesPerSec) * 8;
      plan.size = SizeRule::Mpeg;
      if (plan.bitRate < 8000 || plan.bitRate > 320000) return std::nullopt;
      return plan;
    default:
      return std::nullopt;
  }
}

// The encoder's sample format: packed or planar 16-bit when it takes them, else its first.
AVSampleFormat PickSampleFormat(const AVCodec* codec) {
  const AVSampleFormat* formats = codec->sample_fmts;
  if (formats == nullptr) return AV_SAMPLE_FMT_S16;
  for (auto wanted : {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P}) {
    for (const AVSampleFormat* f = formats; *f != AV_SAMPLE_FMT_NONE; ++f) {
      if (*f == wanted) return wanted;
    }
  }
  return formats[0];
}

// Down-mix averages, up-mix copies: levels stay as recorded (the libraries'
// defaults would attenuate a mono source by 3 dB in stereo).
bool SetChannelMatrix(SwrContext* swr, int inChannels, int outChannels) {
  if (inChannels == outChannels) return true;
  const double down[2] = {0.5, 0.5};
  const double up[2] = {1.0, 1.0};
  return swr_set_matrix(swr, inChannels == 2 ? down : up, inChannels) >= 0;
}

// Where converted bytes go: the caller's destination buffer.
struct Sink {
  uint8_t* dst;
  int32_t cap;
  int32_t used = 0;
};

}  // namespace

// Encoder, resampler and the one frame reused for every block.
struct CodecConversionStream::Codec {
  AVCodecContext* ctx = nullptr;
  SwrContext* swr = nullptr;  // null when the input is already in the encoder's layout
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  int frameSamples = 0;         // samples per channel of each frame sent
  int filled = 0;               // samples per channel already in `frame`
  bool variableFrames = false;  // encoder takes frames of any length
  int64_t pts = 0;
  int inFrameBytes = 0;  // bytes per input sample frame (packed s16)
  std::string error;

  ~Codec() {
    swr_free(&swr);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&ctx);
  }

  bool Fail(std::string why) {
    error = std::move(why);
    return false;
  }

  // Encoder, resampler and frame for `plan`, fed from `source`.
  bool Open(const WAVEFORMATEX& source, const TargetPlan& plan) {
    inFrameBytes = source.nBlockAlign;
    return OpenEncoder(plan) && CheckBlockLayout(plan) && AllocateFrame() && OpenResampler(source);
  }

  bool Allocate(const AVCodec* encoder) {
    ctx = avcodec_alloc_context3(encoder);
    packet = av_packet_alloc();
    frame = av_frame_alloc();
    return (ctx != nullptr && packet != nullptr && frame != nullptr) || Fail("out of memory");
  }

  // Opens the plan's encoder and learns its frame length.
  bool OpenEncoder(const TargetPlan& plan) {
    const AVCodec* encoder = avcodec_find_encoder_by_name(plan.encoder);
    if (encoder == nullptr) return Fail(std::string("encoder not available: ") + plan.encoder);
    if (!Allocate(encoder)) return false;
    ctx->sample_rate = plan.rate;
    av_channel_layout_default(&ctx->ch_layout, plan.channels);
    ctx->sample_fmt = PickSampleFormat(encoder);
    ctx->bit_rate = plan.bitRate;
    ctx->time_base = AVRational{1, plan.rate};
    AVDictionary* options = nullptr;
    if (plan.blockSize > 0) av_dict_set_int(&options, "block_size", plan.blockSize, 0);
    const int opened = avcodec_open2(ctx, encoder, &options);
    av_dict_free(&options);
    if (opened < 0) return Fail(AvError("avcodec_open2 (" + Describe(plan) + ")", opened));
    variableFrames = ctx->frame_size == 0 || (encoder->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) != 0;
    frameSamples = variableFrames ? kVariableFrameSamples : ctx->frame_size;
    return true;
  }

  // The record must describe exactly what the encoder writes, or readers misparse the file.
  bool CheckBlockLayout(const TargetPlan& plan) {
    if (plan.size != SizeRule::PerBlock) return true;
    if (ctx->block_align == plan.blockAlign && ctx->frame_size == plan.samplesPerBlock) return true;
    return Fail("the target's blocks (" + std::to_string(plan.blockAlign) + " bytes, " +
                std::to_string(plan.samplesPerBlock) + " samples) differ from the encoder's (" +
                std::to_string(ctx->block_align) + " bytes, " + std::to_string(ctx->frame_size) + " samples)");
  }

  // The one frame reused for every block, one encoder frame long.
  bool AllocateFrame() {
    frame->format = ctx->sample_fmt;
    frame->sample_rate = ctx->sample_rate;
    frame->nb_samples = frameSamples;
    av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
    const int allocated = av_frame_get_buffer(frame, 0);
    return allocated >= 0 || Fail(AvError("av_frame_get_buffer", allocated));
  }

  // A resampler from `source` into the encoder's rate, channels and sample
  // format; none when the source already has them.
  bool OpenResampler(const WAVEFORMATEX& source) {
    const int sourceRate = static_cast<int>(source.nSamplesPerSec);
    const int channels = ctx->ch_layout.nb_channels;
    if (ctx->sample_fmt == AV_SAMPLE_FMT_S16 && channels == source.nChannels && ctx->sample_rate == sourceRate) {
      return true;
    }
    AVChannelLayout inLayout{};
    av_channel_layout_default(&inLayout, source.nChannels);
    int r = swr_alloc_set_opts2(&swr, &ctx->ch_layout, ctx->sample_fmt, ctx->sample_rate, &inLayout,
                                AV_SAMPLE_FMT_S16, sourceRate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    if (r >= 0 && !SetChannelMatrix(swr, source.nChannels, channels)) r = AVERROR(EINVAL);
    if (r >= 0) r = swr_init(swr);
    return r >= 0 || Fail(AvError("swr_init", r));
  }

  // Moves every packet the encoder has ready into the sink.
  bool Drain(Sink& sink) {
    int r;
    while ((r = avcodec_receive_packet(ctx, packet)) == 0) {
      const bool fits = packet->size <= sink.cap - sink.used;
      if (fits) std::memcpy(sink.dst + sink.used, packet->data, static_cast<size_t>(packet->size));
      if (fits) sink.used += packet->size;
      av_packet_unref(packet);
      if (!fits) return Fail("encoded packet larger than the destination buffer");
    }
    if (r != AVERROR(EAGAIN) && r != AVERROR_EOF) return Fail(AvError("avcodec_receive_packet", r));
    return true;
  }

  // Encodes the `filled` samples of the frame and makes it writable again.
  bool SendFrame(Sink& sink) {
    frame->nb_samples = filled;
    frame->pts = pts;
    pts += filled;
    const int r = avcodec_send_frame(ctx, frame);
    filled = 0;
    frame->nb_samples = frameSamples;
    if (r < 0) return Fail(AvError("avcodec_send_frame", r));
    if (!Drain(sink)) return false;
    const int w = av_frame_make_writable(frame);
    return w >= 0 || Fail(AvError("av_frame_make_writable", w));
  }

  // Plane pointers at the first free sample of the frame.
  void FreeSpace(uint8_t* planes[AV_NUM_DATA_POINTERS]) const {
    const int bytes = av_get_bytes_per_sample(ctx->sample_fmt);
    const bool planar = av_sample_fmt_is_planar(ctx->sample_fmt) != 0;
    const int step = planar ? bytes : bytes * ctx->ch_layout.nb_channels;
    const int count = planar ? ctx->ch_layout.nb_channels : 1;
    for (int p = 0; p < count; ++p) planes[p] = frame->data[p] + static_cast<ptrdiff_t>(filled) * step;
  }

  // Runs `count` input frames (null input: the resampler's flush) through the
  // resampler into the frame, encoding each frame that fills up.
  bool Resample(const uint8_t* in, int count, Sink& sink) {
    const uint8_t* inPlanes[1] = {in};
    const uint8_t** input = in != nullptr ? inPlanes : nullptr;
    for (;;) {
      uint8_t* out[AV_NUM_DATA_POINTERS] = {};
      FreeSpace(out);
      const int space = frameSamples - filled;
      const int got = swr_convert(swr, out, space, input, count);
      if (got < 0) return Fail(AvError("swr_convert", got));
      count = 0;  // later rounds only collect what the resampler still holds
      filled += got;
      if (filled < frameSamples) return true;
      if (!SendFrame(sink)) return false;
    }
  }

  // Copies `count` input frames into the frame (the input is already the encoder's layout).
  bool Copy(const uint8_t* in, int count, Sink& sink) {
    while (count > 0) {
      uint8_t* out[AV_NUM_DATA_POINTERS] = {};
      FreeSpace(out);
      const int n = std::min(count, frameSamples - filled);
      std::memcpy(out[0], in, static_cast<size_t>(n) * inFrameBytes);
      in += static_cast<ptrdiff_t>(n) * inFrameBytes;
      count -= n;
      filled += n;
      if (filled == frameSamples && !SendFrame(sink)) return false;
    }
    return true;
  }

  bool Feed(const uint8_t* in, int count, Sink& sink) {
    if (!(swr != nullptr ? Resample(in, count, sink) : Copy(in, count, sink))) return false;
    // Encoders taking any frame length get the rest now, so nothing waits for the next block.
    return !(variableFrames && filled > 0) || SendFrame(sink);
  }

  // Empties resampler, partial frame and encoder delay; the encoder is finished afterwards.
  bool Finish(Sink& sink) {
    if (swr != nullptr && !Resample(nullptr, 0, sink)) return false;
    // A short last frame: the codec library pads it with silence where the codec needs whole blocks.
    if (filled > 0 && !SendFrame(sink)) return false;
    const int r = avcodec_send_frame(ctx, nullptr);
    if (r < 0) return Fail(AvError("avcodec_send_frame", r));
    return Drain(sink);
  }
};

CodecConversionStream::CodecConversionStream() = default;
CodecConversionStream::~CodecConversionStream() = default;

const std::string& CodecConversionStream::LastError() const { return lastError_; }

bool CodecConversionStream::Fail(std::string why) {
  lastError_ = std::move(why);
  return false;
}

namespace {

bool IsPlainCopy(const WAVEFORMATEX& source, std::span<const uint8_t> target) {
  if (target.size() < static_cast<size_t>(WAVEFORMATEX::kSize)) return false;
  const WAVEFORMATEX t = WAVEFORMATEX::FromBytes(target);
  return t.wFormatTag == WAVE_FORMAT_PCM && t.wBitsPerSample == 16 && t.nChannels == source.nChannels &&
         t.nSamplesPerSec == source.nSamplesPerSec && t.nBlockAlign == source.nBlockAlign;
}

int32_t OutputBound(const TargetPlan& plan, int frameSamples) {
  const int64_t samples = plan.rate + frameSamples + kResamplerSlack;
  int64_t bytes = 0;
  switch (plan.size) {
    case SizeRule::PerSample: bytes = samples * plan.blockAlign; break;
    case SizeRule::PerBlock: bytes = (samples / frameSamples + 2) * plan.blockAlign; break;
    // The MPEG Layer-3 encoder's own worst case: 1.25 bytes per sample plus 7200.
    case SizeRule::Mpeg: bytes = samples * plan.channels * 5 / 4 + 7200; break;
  }
  return static_cast<int32_t>(bytes);
}

}  // namespace

bool CodecConversionStream::Open(const WAVEFORMATEX& source, std::span<const uint8_t> target) {
  Release();
  lastError_.clear();
  if (!IsPcm16(source)) return Fail("source must be 16-bit PCM");
  sourceFrameBytes_ = source.nBlockAlign;
  if (IsPlainCopy(source, target)) {
    copy_ = true;
    outputBound_ = static_cast<int32_t>(source.nAvgBytesPerSec);
    return true;
  }
  const auto plan = PlanFor(target, lastError_);
  if (!plan) return false;
  if (!ValidShape(source)) return Fail("source rate or channel count out of range");
  auto codec = std::make_unique<Codec>();
  if (!codec->Open(source, *plan)) return Fail(codec->error);
  outputBound_ = OutputBound(*plan, codec->frameSamples);
  codec_ = std::move(codec);
  return true;
}

int32_t CodecConversionStream::OutputBytesPerSecond() const { return outputBound_; }

bool CodecConversionStream::Convert(const uint8_t* src, int32_t srcLen, uint8_t* dst, int32_t dstCap,
                                    int32_t& consumed, int32_t& produced) {
  consumed = 0;
  produced = 0;
  if (!copy_ && codec_ == nullptr) {
    lastError_ = "conversion not open";
    return false;
  }
  if (srcLen == 0) return true;
  if (src == nullptr || srcLen < 0) {
    lastError_ = "no input block";
    return false;
  }
  const int32_t frames = srcLen / sourceFrameBytes_;
  const int32_t bytes = frames * sourceFrameBytes_;
  if (copy_) {
    if (bytes > dstCap) {
      lastError_ = "destination buffer too small";
      return false;
    }
    std::memcpy(dst, src, static_cast<size_t>(bytes));
    consumed = produced = bytes;
    return true;
  }
  Sink sink{dst, dstCap};
  const bool ok = codec_->Feed(src, frames, sink);
  // The frames are in the converter now, whatever the encoder did with them.
  consumed = bytes;
  produced = sink.used;
  if (!ok) lastError_ = codec_->error;
  return ok;
}

bool CodecConversionStream::Flush(uint8_t* dst, int32_t dstCap, int32_t& produced) {
  produced = 0;
  if (copy_) return true;
  if (codec_ == nullptr) {
    lastError_ = "conversion not open";
    return false;
  }
  Sink sink{dst, dstCap};
  if (!codec_->Finish(sink)) {
    lastError_ = codec_->error;
    return false;
  }
  produced = sink.used;
  return true;
}

void CodecConversionStream::Release() {
  codec_.reset();
  copy_ = false;
  sourceFrameBytes_ = 0;
  outputBound_ = 0;
}
