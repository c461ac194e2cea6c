#include "encoding/AudioMuxer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>
#include <vector>

#include "encoding/CatchUpEncoder.h"
#include "encoding/CodecLibraryError.h"
#include "encoding/FileRecord.h"
#include "encoding/FlacVerbatimFrame.h"
#include "encoding/Mp3InfoTag.h"
#include "encoding/OggPageBuilder.h"
#include "encoding/OggPageScanner.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/intreadwrite.h>
#include <libswresample/swresample.h>
}

namespace {

// I/O buffer between muxer and file; every Write empties it.
constexpr int kIoBufferBytes = 65536;
// Samples a resampler may hold back or add around one second of input.
constexpr int kResamplerSlack = 4096;
// Audio sent to a lossy codec that a checkpoint can encode again: more than the
// muxer holds at most (half a second between flushes plus a block of up to one
// second) and the codec's look-ahead and priming frames.
constexpr int kHistorySeconds = 2;

std::string LibraryError(const std::string& call, int code) { return CodecLibraryError::Text(call, code); }

// The encoder's formats as a list (the library ends it with AV_SAMPLE_FMT_NONE).
std::span<const AVSampleFormat> OfferedFormats(const AVCodec* codec) {
  size_t count = 0;
  while (codec->sample_fmts != nullptr && codec->sample_fmts[count] != AV_SAMPLE_FMT_NONE) ++count;
  return {codec->sample_fmts, count};
}

// 16-bit samples when the encoder takes them (no conversion work), else its first format.
AVSampleFormat ChooseSampleFormat(const AVCodec* codec) {
  const auto offered = OfferedFormats(codec);
  if (offered.empty()) return AV_SAMPLE_FMT_S16;
  for (const AVSampleFormat wanted : {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P}) {
    if (std::ranges::find(offered, wanted) != offered.end()) return wanted;
  }
  return offered.front();
}

// "libopus, 48000 Hz, 2 channels, 96000 bit/s": what the codec was asked for.
std::string Describe(const MuxerPlan& plan, int channels) {
  std::string text = plan.codec + ", " + std::to_string(plan.outputRate) + " Hz, " + std::to_string(channels) +
                     (channels == 1 ? " channel" : " channels");
  if (plan.bitRate > 0) text += ", " + std::to_string(plan.bitRate) + " bit/s";
  if (plan.compressionLevel >= 0) text += ", level " + std::to_string(plan.compressionLevel);
  return text;
}

}  // namespace

struct AudioMuxer::Session {
  FileRecord file;
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVStream* stream = nullptr;
  SwrContext* resampler = nullptr;  // null when the input already is the codec's layout
  AVAudioFifo* fifo = nullptr;      // codec-format samples waiting for a whole codec frame
  AVAudioFifo* history = nullptr;   // the last samples sent to a lossy codec (none for FLAC)
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  uint8_t** converted = nullptr;    // resampler output of one Write
  int convertedCapacity = 0;        // samples per channel
  int frameSamples = 0;             // codec frame length, samples per channel
  int64_t nextPts = 0;              // in the codec's time base, 1 / output rate
  int64_t packetsEnd = 0;           // where the last packet the codec gave ends, same base
  int64_t samplesSinceMuxerFlush = 0;
  int64_t writePosition = 0;        // where the I/O context writes next
  int64_t fileEnd = 0;              // bytes the file holds
  int64_t committedEnd = 0;         // file length after the last successful Write
  int64_t tailEnd = -1;             // where it ends
  int64_t tailStart = -1;           // where a checkpoint's tail begins; -1 without one
  bool ogg = false;                 // the container is Ogg: its pages are followed
  OggPageScanner pages;             // what the Ogg muxer wrote
  bool mp3 = false;
  bool keepingHeader = false;       // while the container's header is written
  std::vector<uint8_t> header;      // MP3: the header frame as written
  bool delayTagged = false;         // MP3: the header frame states the encoder delay
  std::vector<std::pair<std::string, std::string>> catchUpOptions;  // see MuxerPlan
  bool broken = false;              // a failure left codec, muxer and file out of step
  EncoderResult failure = ENC_OK;   // what broke it; every later call reports the same
  std::string writeError;           // the file layer's words for the first failed write
  std::string error;

  ~Session() {
    if (format != nullptr) {
      AVIOContext* io = format->pb;
      avformat_free_context(format);
      if (io != nullptr) av_freep(&io->buffer);
      avio_context_free(&io);
    }
    if (converted != nullptr) av_freep(&converted[0]);
    av_freep(&converted);
    av_audio_fifo_free(fifo);
    av_audio_fifo_free(history);
    swr_free(&resampler);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
  }

  EncoderResult Fail(EncoderResult result, std::string why) {
    error = std::move(why);
    broken = true;
    failure = result;
    return result;
  }

#if LIBAVFORMAT_VERSION_MAJOR >= 61
  static int WritePacket(void* opaque, const uint8_t* data, int size) {
#else
  static int WritePacket(void* opaque, uint8_t* data, int size) {
#endif
    auto& self = *static_cast<Session*>(opaque);
    if (!self.file.WriteAt(self.writePosition, data, size)) {
      if (self.writeError.empty()) self.writeError = self.file.LastError();
      return AVERROR(EIO);
    }
    self.writePosition += size;
    self.fileEnd = std::max(self.fileEnd, self.writePosition);
    if (self.ogg) self.pages.Scan({data, static_cast<size_t>(size)});
    if (self.keepingHeader) self.header.insert(self.header.end(), data, data + size);
    return size;
  }

  // The muxer seeks back only to rewrite a header at the end (FLAC's STREAMINFO, MP3's Xing frame).
  static int64_t Seek(void* opaque, int64_t offset, int whence) {
    auto& self = *static_cast<Session*>(opaque);
    int64_t target = -1;
    switch (whence & ~AVSEEK_FORCE) {
      case AVSEEK_SIZE: return self.fileEnd;
      case SEEK_SET: target = offset; break;
      case SEEK_CUR: target = self.writePosition + offset; break;
      case SEEK_END: target = self.fileEnd + offset; break;
      default: break;
    }
    if (target < 0) return AVERROR(EINVAL);
    self.writePosition = target;
    return target;
  }

  EncoderResult OpenCodec(const MuxerPlan& plan, int channels) {
    const AVCodec* encoder = avcodec_find_encoder_by_name(plan.codec.c_str());
    if (encoder == nullptr) return Fail(ENC_INIT_FAILED, "encoder not available: " + plan.codec);
    codec = avcodec_alloc_context3(encoder);
    frame = av_frame_alloc();
    packet = av_packet_alloc();
    if (codec == nullptr || frame == nullptr || packet == nullptr) return Fail(ENC_INIT_FAILED, "out of memory");
    codec->sample_rate = plan.outputRate;
    av_channel_layout_default(&codec->ch_layout, channels);
    codec->sample_fmt = ChooseSampleFormat(encoder);
    codec->time_base = AVRational{1, plan.outputRate};
    if (plan.bitRate > 0) codec->bit_rate = plan.bitRate;
    if (plan.compressionLevel >= 0) codec->compression_level = plan.compressionLevel;
    if ((format->oformat->flags & AVFMT_GLOBALHEADER) != 0) codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int opened = avcodec_open2(codec, encoder, nullptr);
    if (opened < 0) return Fail(ENC_INIT_FAILED, LibraryError("avcodec_open2 (" + Describe(plan, channels) + ")", opened));
    frameSamples = codec->frame_size > 0 ? codec->frame_size : 4096;
    packetsEnd = -codec->initial_padding;
    return ENC_OK;
  }

  // libopus's header names the rate the codec runs at as the input's; players
  // and tools show that field as the recording's rate, so it gets the true one.
  void StateInputRate(int inputRate) {
    constexpr int kOpusHeadSize = 19;
    constexpr int kInputRateAt = 12;  // after "OpusHead", version, channels, pre-skip
    if (codec->codec_id != AV_CODEC_ID_OPUS || codec->extradata == nullptr || codec->extradata_size < kOpusHeadSize ||
        std::memcmp(codec->extradata, "OpusHead", 8) != 0) {
      return;
    }
    AV_WL32(codec->extradata + kInputRateAt, static_cast<uint32_t>(inputRate));
  }

  EncoderResult OpenBuffers(int inputRate, int channels) {
    const bool sameLayout = codec->sample_fmt == AV_SAMPLE_FMT_S16 && codec->sample_rate == inputRate;
    if (!sameLayout) {
      int r = swr_alloc_set_opts2(&resampler, &codec->ch_layout, codec->sample_fmt, codec->sample_rate,
                                  &codec->ch_layout, AV_SAMPLE_FMT_S16, inputRate, 0, nullptr);
      if (r >= 0) r = swr_init(resampler);
      if (r < 0) return Fail(ENC_INIT_FAILED, LibraryError("swr_init", r));
      convertedCapacity = codec->sample_rate + kResamplerSlack;
      r = av_samples_alloc_array_and_samples(&converted, nullptr, channels, convertedCapacity, codec->sample_fmt, 0);
      if (r < 0) return Fail(ENC_INIT_FAILED, LibraryError("av_samples_alloc", r));
    }
    // Room for one second of output beside a partial codec frame: Write never grows it.
    fifo = av_audio_fifo_alloc(codec->sample_fmt, channels, codec->sample_rate + frameSamples + kResamplerSlack);
    if (codec->codec_id != AV_CODEC_ID_FLAC) {
      history = av_audio_fifo_alloc(codec->sample_fmt, channels, kHistorySeconds * codec->sample_rate);
      if (history == nullptr) return Fail(ENC_INIT_FAILED, "out of memory");
    }
    frame->format = codec->sample_fmt;
    frame->sample_rate = codec->sample_rate;
    frame->nb_samples = frameSamples;
    av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout);
    const int r = av_frame_get_buffer(frame, 0);
    if (fifo == nullptr || r < 0) return Fail(ENC_INIT_FAILED, LibraryError("av_frame_get_buffer", r));
    return ENC_OK;
  }

  EncoderResult OpenFile(const std::string& path, TargetRules rules) {
    if (path.empty()) return Fail(ENC_FILE_ERROR, "no output file name");
    switch (file.Open(path, rules)) {
      case FileRecord::OpenResult::Opened: return ENC_OK;
      case FileRecord::OpenResult::HoldsData: return Fail(ENC_TARGET_HOLDS_DATA, file.LastError());
      case FileRecord::OpenResult::Failed: break;
    }
    return Fail(ENC_FILE_ERROR, file.LastError());
  }

  // Stream, I/O context on the file, header. A header the file cannot take is
  // a file error. Not forced to the disk here: the recording's capture starts
  // after the open, and a slow disk must not hold that up; the first sync
  // comes with the audio.
  EncoderResult OpenContainer(const MuxerPlan& plan) {
    stream = avformat_new_stream(format, nullptr);
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
    if (stream == nullptr || buffer == nullptr) {
      av_free(buffer);
      return Fail(ENC_INIT_FAILED, "out of memory");
    }
    format->pb = avio_alloc_context(buffer, kIoBufferBytes, 1, this, nullptr, &WritePacket, &Seek);
    if (format->pb == nullptr) {
      av_free(buffer);
      return Fail(ENC_INIT_FAILED, "out of memory");
    }
    format->pb->seekable = AVIO_SEEKABLE_NORMAL;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    ogg = plan.container == "ogg" || plan.container == "opus";
    mp3 = plan.container == "mp3";
    catchUpOptions = plan.catchUpOptions;
    int r = avcodec_parameters_from_context(stream->codecpar, codec);
    if (r < 0) return Fail(ENC_INIT_FAILED, LibraryError("avcodec_parameters_from_context", r));
    stream->time_base = codec->time_base;
    AVDictionary* options = nullptr;
    for (const auto& [name, value] : plan.containerOptions) av_dict_set(&options, name.c_str(), value.c_str(), 0);
    keepingHeader = mp3;
    r = avformat_write_header(format, &options);
    av_dict_free(&options);
    const EncoderResult committed = CommitWrites();
    keepingHeader = false;
    if (!writeError.empty() || committed != ENC_OK) return Fail(ENC_FILE_ERROR, writeError);
    if (r < 0) return Fail(ENC_INIT_FAILED, LibraryError("avformat_write_header (" + plan.container + ")", r));
    return ENC_OK;
  }

  // Hands the I/O buffer to the file. On a failed write the file is cut back to
  // the end of the last whole Write, so it ends on a whole packet.
  EncoderResult CommitWrites() {
    avio_flush(format->pb);
    if (writeError.empty()) {
      committedEnd = fileEnd;
      return ENC_OK;
    }
    // A partial write may have left bytes past fileEnd too.
    if (file.Truncate(committedEnd)) fileEnd = committedEnd;
    return Fail(ENC_WRITE_ERROR, writeError);
  }

  // A failure inside the muxer is the file's when a write failed, else the muxer's own.
  EncoderResult MuxerFailed(const std::string& call, int code) {
    if (!writeError.empty()) return Fail(ENC_WRITE_ERROR, writeError);
    return Fail(ENC_CONVERT_FAILED, LibraryError(call, code));
  }

  // Moves every packet the encoder has ready into the muxer.
  EncoderResult MuxPackets() {
    int r;
    while ((r = avcodec_receive_packet(codec, packet)) == 0) {
      packetsEnd = packet->pts + packet->duration;
      packet->stream_index = stream->index;
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      const int written = av_write_frame(format, packet);
      av_packet_unref(packet);
      if (written < 0) return MuxerFailed("av_write_frame", written);
    }
    if (r != AVERROR(EAGAIN) && r != AVERROR_EOF) return Fail(ENC_CONVERT_FAILED, LibraryError("avcodec_receive_packet", r));
    return ENC_OK;
  }

  // Encodes whole codec frames from the FIFO; with `last`, also the partial one
  // left at the end (padded with silence only for a codec that needs whole frames).
  EncoderResult EncodeFrames(bool last) {
    const bool takesShortFrame = (codec->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) != 0;
    while (av_audio_fifo_size(fifo) >= frameSamples || (last && av_audio_fifo_size(fifo) > 0)) {
      int r = av_frame_make_writable(frame);
      if (r < 0) return Fail(ENC_CONVERT_FAILED, LibraryError("av_frame_make_writable", r));
      const int count = std::min(av_audio_fifo_size(fifo), frameSamples);
      av_audio_fifo_read(fifo, reinterpret_cast<void**>(frame->data), count);
      KeepHistory(count);
      frame->nb_samples = count;
      if (count < frameSamples && !takesShortFrame) {
        av_samples_set_silence(frame->data, count, frameSamples - count, codec->ch_layout.nb_channels,
                               codec->sample_fmt);
        frame->nb_samples = frameSamples;
      }
      frame->pts = nextPts;
      nextPts += count;
      samplesSinceMuxerFlush += count;
      r = avcodec_send_frame(codec, frame);
      if (r < 0) return Fail(ENC_CONVERT_FAILED, LibraryError("avcodec_send_frame", r));
      if (const EncoderResult muxed = MuxPackets(); muxed != ENC_OK) return muxed;
    }
    return ENC_OK;
  }

  // Puts `count` input frames (null: the resampler's remainder) into the FIFO in the codec's format.
  EncoderResult Queue(const int16_t* samples, int count) {
    if (resampler == nullptr) {
      void* planes[1] = {const_cast<int16_t*>(samples)};
      const int r = av_audio_fifo_write(fifo, planes, count);
      return r < 0 ? Fail(ENC_CONVERT_FAILED, LibraryError("av_audio_fifo_write", r)) : ENC_OK;
    }
    if (swr_get_out_samples(resampler, count) > convertedCapacity) {
      return Fail(ENC_CONVERT_FAILED, "block longer than one second");
    }
    const uint8_t* inPlanes[1] = {reinterpret_cast<const uint8_t*>(samples)};
    const int got = swr_convert(resampler, converted, convertedCapacity, samples != nullptr ? inPlanes : nullptr, count);
    if (got < 0) return Fail(ENC_CONVERT_FAILED, LibraryError("swr_convert", got));
    const int r = av_audio_fifo_write(fifo, reinterpret_cast<void**>(converted), got);
    return r < 0 ? Fail(ENC_CONVERT_FAILED, LibraryError("av_audio_fifo_write", r)) : ENC_OK;
  }

  // Closes the current Ogg page (other muxers have nothing held) after each half second of audio.
  EncoderResult FlushMuxerWhenDue() {
    if (samplesSinceMuxerFlush < codec->sample_rate / 2) return ENC_OK;
    samplesSinceMuxerFlush = 0;
    const int r = av_write_frame(format, nullptr);
    return r < 0 ? MuxerFailed("av_write_frame (flush)", r) : ENC_OK;
  }

  EncoderResult Drain() {
    if (resampler != nullptr) {
      if (const EncoderResult queued = Queue(nullptr, 0); queued != ENC_OK) return queued;
    }
    if (const EncoderResult encoded = EncodeFrames(true); encoded != ENC_OK) return encoded;
    const int r = avcodec_send_frame(codec, nullptr);
    if (r < 0) return Fail(ENC_CONVERT_FAILED, LibraryError("avcodec_send_frame", r));
    if (const EncoderResult muxed = MuxPackets(); muxed != ENC_OK) return muxed;
    const int ended = av_write_trailer(format);
    if (const EncoderResult committed = CommitWrites(); committed != ENC_OK) return committed;
    return ended < 0 ? MuxerFailed("av_write_trailer", ended) : ENC_OK;
  }

  // Keeps the `count` samples just read into `frame` as the newest of the history.
  void KeepHistory(int count) {
    if (history == nullptr) return;
    // The oldest go: the buffer never grows.
    const int excess = count - av_audio_fifo_space(history);
    if (excess > 0) av_audio_fifo_drain(history, excess);
    av_audio_fifo_write(history, reinterpret_cast<void**>(frame->data), count);
  }

  // A checkpoint that could not be completed: the stream itself goes on.
  EncoderResult Refused(EncoderResult result, std::string why) {
    error = std::move(why);
    return result;
  }

  // Cuts a checkpoint's tail off again, so the stream goes on where the muxer left it.
  EncoderResult DropTail() {
    if (tailStart < 0) return ENC_OK;
    if (!file.Truncate(tailStart)) return Fail(ENC_WRITE_ERROR, file.LastError());
    tailStart = -1;
    return ENC_OK;
  }

  EncoderResult Checkpoint() {
    if (const EncoderResult dropped = DropTail(); dropped != ENC_OK) return dropped;
    std::vector<uint8_t> tail;
    const EncoderResult built = codec->codec_id == AV_CODEC_ID_FLAC ? FlacTail(tail) : CatchUpTail(tail);
    if (!tail.empty()) {
      tailStart = fileEnd;
      tailEnd = fileEnd + static_cast<int64_t>(tail.size());
      if (!file.WriteAt(fileEnd, tail.data(), static_cast<int64_t>(tail.size()))) {
        std::string why = file.LastError();
        const EncoderResult dropped = DropTail();
        return dropped != ENC_OK ? dropped : Refused(ENC_WRITE_ERROR, std::move(why));
      }
    }
    // What the file holds reaches the disk even when no tail could be built.
    if (!file.Sync()) return Refused(ENC_WRITE_ERROR, file.LastError());
    return built;
  }

  // The partial block the FIFO holds, as one frame after the encoder's frames.
  EncoderResult FlacTail(std::vector<uint8_t>& tail) {
    const int held = av_audio_fifo_size(fifo);
    if (held == 0) return ENC_OK;
    if (codec->sample_fmt != AV_SAMPLE_FMT_S16 || packetsEnd != nextPts) {
      return Refused(ENC_CONVERT_FAILED, "checkpoint: the FLAC encoder holds more than a partial block");
    }
    const int channels = codec->ch_layout.nb_channels;
    std::vector<int16_t> samples(static_cast<size_t>(held) * channels);
    void* planes[1] = {samples.data()};
    av_audio_fifo_peek(fifo, planes, held);
    FlacVerbatimFrame::Append(static_cast<uint32_t>(nextPts / frameSamples), samples, channels, codec->sample_rate,
                              tail);
    return ENC_OK;
  }

  // The header frame states the encoder delay as the finished file's does (the
  // muxer rewrites the whole frame at the end), so a reader of a file cut off
  // after the tail starts and ends it where the audio does.
  EncoderResult TagEncoderDelay() {
    if (delayTagged) return ENC_OK;
    if (!Mp3InfoTag::SetEncoderDelay(header, codec->initial_padding - Mp3InfoTag::kDecoderDelay)) {
      return Refused(ENC_CONVERT_FAILED, "checkpoint: the MP3 header frame has no LAME tag");
    }
    if (!file.WriteAt(0, header.data(), static_cast<int64_t>(header.size()))) {
      return Refused(ENC_WRITE_ERROR, file.LastError());
    }
    delayTagged = true;
    return ENC_OK;
  }

  // Where the audio the file holds ends, as a position of the codec's input.
  int64_t CoveredEnd() const {
    if (!ogg) return packetsEnd;  // every packet given is written at once
    return av_rescale_q(pages.LastGranule(), stream->time_base, codec->time_base) - codec->initial_padding;
  }

  // Ogg Opus: a granule position is the end of a packet at 48 kHz plus the pre-skip.
  int64_t Granule(int64_t position) const {
    return av_rescale_q(position + codec->initial_padding, codec->time_base, stream->time_base);
  }

  // What a lossy codec and the muxer hold, encoded again by a fresh codec from
  // the history and the FIFO: MP3 frames after the file's last one, or Ogg pages
  // after its last page.
  EncoderResult CatchUpTail(std::vector<uint8_t>& tail) {
    const int held = av_audio_fifo_size(fifo);
    const int64_t end = nextPts + held;
    const int64_t from = CoveredEnd();
    if (end <= std::max<int64_t>(from, 0)) return ENC_OK;
    if (ogg && !pages.Valid()) return Refused(ENC_CONVERT_FAILED, "checkpoint: the Ogg pages written are not readable");
    CatchUpEncoder again;
    if (!again.Open(*codec, catchUpOptions, from)) return Refused(ENC_CONVERT_FAILED, again.LastError());
    const int64_t historyStart = nextPts - av_audio_fifo_size(history);
    const int64_t first = again.FirstPosition();
    if (std::max<int64_t>(first, 0) < historyStart) {
      return Refused(ENC_CONVERT_FAILED, "checkpoint: the codec holds more audio than the history keeps");
    }
    const int64_t start = std::max<int64_t>(first, 0);
    std::vector<CatchUpEncoder::Packet> packets;
    const auto fromHistory = static_cast<int>(start - historyStart);
    const bool encoded = again.Add(nullptr, 0, static_cast<int>(start - first)) &&
                         again.Add(history, fromHistory, static_cast<int>(nextPts - start)) &&
                         again.Add(fifo, 0, held) && again.Finish(end, packets);
    if (!encoded) return Refused(ENC_CONVERT_FAILED, again.LastError());
    if (packets.empty()) return ENC_OK;
    if (!ogg) {
      for (const auto& packet : packets) tail.insert(tail.end(), packet.data.begin(), packet.data.end());
      return mp3 ? TagEncoderDelay() : ENC_OK;
    }
    std::vector<OggPageBuilder::Packet> laid;
    for (const auto& packet : packets) laid.push_back({packet.data, Granule(packet.pts + packet.duration)});
    const int64_t endGranule = std::min(Granule(end), laid.back().granule);
    if (!OggPageBuilder::AppendEnd(laid, pages.Serial(), pages.NextSequence(), endGranule, tail)) {
      return Refused(ENC_CONVERT_FAILED, "checkpoint: a packet does not fit on an Ogg page");
    }
    return ENC_OK;
  }
};

AudioMuxer::AudioMuxer() = default;
AudioMuxer::~AudioMuxer() { Abort(); }

EncoderResult AudioMuxer::Fail(EncoderResult result, std::string why) {
  lastError_ = std::move(why);
  return result;
}

int64_t AudioMuxer::FileBytes() const {
  if (session_ == nullptr) return -1;
  return session_->tailStart >= 0 ? session_->tailEnd : session_->fileEnd;
}

std::string AudioMuxer::Path() const { return session_ != nullptr ? session_->file.path() : std::string(); }

EncoderResult AudioMuxer::Open(const MuxerPlan& plan, int32_t inputRate, int16_t inputChannels,
                               const std::string& path, TargetRules rules) {
  Abort();
  lastError_.clear();
  if (inputRate < 1 || inputChannels < 1 || inputChannels > 2 || plan.outputRate < 1) {
    return Fail(ENC_INIT_FAILED, "rate must be at least 1 Hz and channels 1 or 2");
  }
  auto session = std::make_unique<Session>();
  const int r = avformat_alloc_output_context2(&session->format, nullptr, plan.container.c_str(), nullptr);
  if (r < 0) return Fail(ENC_INIT_FAILED, LibraryError("avformat_alloc_output_context2 (" + plan.container + ")", r));
  EncoderResult result = session->OpenCodec(plan, inputChannels);
  if (result == ENC_OK) session->StateInputRate(inputRate);
  if (result == ENC_OK) result = session->OpenBuffers(inputRate, inputChannels);
  if (result == ENC_OK) result = session->OpenFile(path, rules);
  if (result == ENC_OK) result = session->OpenContainer(plan);
  if (result != ENC_OK) {
    // A start that failed leaves the path as it found it.
    if (session->file.IsOpen()) session->file.Discard();
    return Fail(result, session->error);
  }
  session_ = std::move(session);
  return ENC_OK;
}

EncoderResult AudioMuxer::Write(const int16_t* samples, int32_t frames) {
  if (session_ == nullptr) return Fail(ENC_WRITE_ERROR, "no file open");
  Session& s = *session_;
  if (s.broken) return Fail(s.failure, s.error);
  if (frames <= 0) return ENC_OK;
  if (s.DropTail() != ENC_OK) return Fail(s.failure, s.error);
  EncoderResult result = s.Queue(samples, frames);
  if (result == ENC_OK) result = s.EncodeFrames(false);
  if (result == ENC_OK) result = s.FlushMuxerWhenDue();
  // Whatever the codec produced before a failure still goes to the file.
  const EncoderResult committed = s.CommitWrites();
  if (result == ENC_OK) result = committed;
  return result == ENC_OK ? ENC_OK : Fail(result, s.error);
}

EncoderResult AudioMuxer::SyncToDisk() {
  if (session_ == nullptr) return Fail(ENC_WRITE_ERROR, "no file open");
  return session_->file.Sync() ? ENC_OK : Fail(ENC_WRITE_ERROR, session_->file.LastError());
}

EncoderResult AudioMuxer::Checkpoint() {
  if (session_ == nullptr) return Fail(ENC_FILE_ERROR, "no file open");
  Session& s = *session_;
  if (s.broken) return Fail(s.failure, s.error);
  const EncoderResult result = s.Checkpoint();
  return result == ENC_OK ? ENC_OK : Fail(result, s.error);
}

EncoderResult AudioMuxer::Finish() {
  if (session_ == nullptr) return Fail(ENC_FILE_ERROR, "no file open");
  Session& s = *session_;
  EncoderResult result = s.broken ? s.failure : s.DropTail();
  if (result == ENC_OK) result = s.Drain();
  if (result == ENC_OK && !s.file.Sync()) result = s.Fail(ENC_WRITE_ERROR, s.file.LastError());
  if (result != ENC_OK) Fail(result, s.error);
  session_.reset();
  return result;
}

bool AudioMuxer::Discard() {
  if (session_ == nullptr) return false;
  const bool restored = session_->file.Discard();  // closes first: nothing more reaches the file
  session_.reset();
  return restored;
}

void AudioMuxer::Abort() {
  if (session_ != nullptr && !session_->broken) session_->CommitWrites();
  session_.reset();
}
