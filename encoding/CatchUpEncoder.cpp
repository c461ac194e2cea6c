#include "encoding/CatchUpEncoder.h"

#include <algorithm>
#include <cerrno>

#include "encoding/CodecLibraryError.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
}

struct CatchUpEncoder::Codec {
  AVCodecContext* context = nullptr;
  AVFrame* frame = nullptr;    // one codec frame on its way in
  AVFrame* scratch = nullptr;  // samples copied out of a source
  AVPacket* packet = nullptr;
  AVAudioFifo* pending = nullptr;  // fed samples short of a whole frame

  ~Codec() {
    av_audio_fifo_free(pending);
    av_packet_free(&packet);
    av_frame_free(&scratch);
    av_frame_free(&frame);
    avcodec_free_context(&context);
  }
};

namespace {

// A frame of `samples` in the layout of `context`, its buffer allocated.
int AllocateFrame(AVFrame* frame, const AVCodecContext& context, int samples) {
  frame->format = context.sample_fmt;
  frame->sample_rate = context.sample_rate;
  frame->nb_samples = samples;
  const int r = av_channel_layout_copy(&frame->ch_layout, &context.ch_layout);
  return r < 0 ? r : av_frame_get_buffer(frame, 0);
}

}  // namespace

CatchUpEncoder::CatchUpEncoder() = default;
CatchUpEncoder::~CatchUpEncoder() = default;

bool CatchUpEncoder::Failed(const std::string& call, int code) {
  error_ = CodecLibraryError::Text(call, code);
  return false;
}

bool CatchUpEncoder::Open(const AVCodecContext& running,
                          const std::vector<std::pair<std::string, std::string>>& options, int64_t from) {
  codec_ = std::make_unique<Codec>();
  packets_.clear();
  if (!OpenCodec(running, options) || !AllocateBuffers()) return false;
  from_ = from;
  // Packet k starts at first_ + k * frame_size - padding; packet kPrimingFrames at `from`.
  first_ = from + codec_->context->initial_padding - int64_t{kPrimingFrames} * codec_->context->frame_size;
  fed_ = 0;
  return true;
}

bool CatchUpEncoder::OpenCodec(const AVCodecContext& running,
                               const std::vector<std::pair<std::string, std::string>>& options) {
  AVCodecContext* context = codec_->context = avcodec_alloc_context3(running.codec);
  if (context == nullptr) return Failed("avcodec_alloc_context3", AVERROR(ENOMEM));
  context->sample_rate = running.sample_rate;
  context->sample_fmt = running.sample_fmt;
  context->time_base = running.time_base;
  context->bit_rate = running.bit_rate;
  context->compression_level = running.compression_level;
  int r = av_channel_layout_copy(&context->ch_layout, &running.ch_layout);
  AVDictionary* settings = nullptr;
  for (const auto& [name, value] : options) av_dict_set(&settings, name.c_str(), value.c_str(), 0);
  if (r >= 0) r = avcodec_open2(context, running.codec, &settings);
  const int ignored = av_dict_count(settings);
  av_dict_free(&settings);
  if (r < 0) return Failed("avcodec_open2", r);
  if (ignored > 0 || context->frame_size <= 0 || context->frame_size != running.frame_size) {
    error_ = "the fresh codec is not set up like the recording's";
    return false;
  }
  return true;
}

bool CatchUpEncoder::AllocateBuffers() {
  const AVCodecContext& context = *codec_->context;
  codec_->frame = av_frame_alloc();
  codec_->scratch = av_frame_alloc();
  codec_->packet = av_packet_alloc();
  codec_->pending = av_audio_fifo_alloc(context.sample_fmt, context.ch_layout.nb_channels, 2 * context.frame_size);
  const bool allocated = codec_->frame != nullptr && codec_->scratch != nullptr && codec_->packet != nullptr &&
                         codec_->pending != nullptr;
  if (!allocated) return Failed("av_frame_alloc", AVERROR(ENOMEM));
  int r = AllocateFrame(codec_->frame, context, context.frame_size);
  if (r >= 0) r = AllocateFrame(codec_->scratch, context, context.frame_size);
  return r >= 0 || Failed("av_frame_get_buffer", r);
}

bool CatchUpEncoder::Add(AVAudioFifo* source, int offset, int count) {
  AVFrame* scratch = codec_->scratch;
  while (count > 0) {
    const int n = std::min(count, scratch->nb_samples);
    int r = 0;
    if (source != nullptr) {
      r = av_audio_fifo_peek_at(source, reinterpret_cast<void**>(scratch->extended_data), n, offset);
    } else {
      r = av_samples_set_silence(scratch->extended_data, 0, n, scratch->ch_layout.nb_channels,
                                 static_cast<AVSampleFormat>(scratch->format));
    }
    if (r >= 0) r = av_audio_fifo_write(codec_->pending, reinterpret_cast<void**>(scratch->extended_data), n);
    if (r < 0) return Failed("av_audio_fifo_write", r);
    offset += n;
    count -= n;
    if (!EncodeWholeFrames(false)) return false;
  }
  return true;
}

bool CatchUpEncoder::EncodeWholeFrames(bool last) {
  AVFrame* frame = codec_->frame;
  const int frameSamples = codec_->context->frame_size;
  while (av_audio_fifo_size(codec_->pending) >= frameSamples || (last && av_audio_fifo_size(codec_->pending) > 0)) {
    int r = av_frame_make_writable(frame);
    if (r < 0) return Failed("av_frame_make_writable", r);
    const int count = std::min(av_audio_fifo_size(codec_->pending), frameSamples);
    av_audio_fifo_read(codec_->pending, reinterpret_cast<void**>(frame->extended_data), count);
    // A short last frame is filled up with silence: packets past the fed samples are not kept.
    av_samples_set_silence(frame->extended_data, count, frameSamples - count, frame->ch_layout.nb_channels,
                           static_cast<AVSampleFormat>(frame->format));
    frame->nb_samples = frameSamples;
    frame->pts = first_ + fed_;
    fed_ += count;
    r = avcodec_send_frame(codec_->context, frame);
    if (r < 0) return Failed("avcodec_send_frame", r);
    if (!Collect()) return false;
  }
  return true;
}

bool CatchUpEncoder::Collect() {
  AVPacket* packet = codec_->packet;
  int r;
  while ((r = avcodec_receive_packet(codec_->context, packet)) == 0) {
    packets_.push_back({{packet->data, packet->data + packet->size}, packet->pts, packet->duration});
    av_packet_unref(packet);
  }
  return r == AVERROR(EAGAIN) || r == AVERROR_EOF || Failed("avcodec_receive_packet", r);
}

bool CatchUpEncoder::Finish(int64_t before, std::vector<Packet>& out) {
  if (!EncodeWholeFrames(true)) return false;
  const int r = avcodec_send_frame(codec_->context, nullptr);
  if (r < 0) return Failed("avcodec_send_frame", r);
  if (!Collect()) return false;
  for (Packet& packet : packets_) {
    if (packet.pts >= from_ && packet.pts < before) out.push_back(std::move(packet));
  }
  return true;
}
