#include "encoding/PacketRangeCopy.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <memory>

#include "common/FileTypes.h"
#include "encoding/CodecLibraryError.h"
#include "encoding/RegularFileInput.h"

namespace {

struct InputCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct OutputCloser {
  void operator()(AVFormatContext* context) const {
    if (context->pb != nullptr) avio_closep(&context->pb);
    avformat_free_context(context);
  }
};
struct PacketFree {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using Input = std::unique_ptr<AVFormatContext, InputCloser>;
using Output = std::unique_ptr<AVFormatContext, OutputCloser>;

std::string Failed(const char* call, int code) { return CodecLibraryError::Text(call, code); }

// The muxer that wrote the take: Ogg Opus's or MP3's.
const char* MuxerFor(const AVCodecParameters& codec) {
  if (codec.codec_id == AV_CODEC_ID_OPUS) return FileTypes::Of(FileTypes::TYPE_OPUS).muxer;
  if (codec.codec_id == AV_CODEC_ID_MP3) return FileTypes::Of(FileTypes::TYPE_MP3).muxer;
  return nullptr;
}

std::string OpenOutput(const AVStream& from, const std::string& target, Output& output) {
  const char* muxer = MuxerFor(*from.codecpar);
  if (muxer == nullptr) return Failed("avformat_alloc_output_context2", AVERROR_MUXER_NOT_FOUND);
  AVFormatContext* context = nullptr;
  int r = avformat_alloc_output_context2(&context, nullptr, muxer, target.c_str());
  if (r < 0) return Failed("avformat_alloc_output_context2", r);
  output.reset(context);
  AVStream* stream = avformat_new_stream(context, nullptr);
  if (stream == nullptr) return Failed("avformat_new_stream", AVERROR(ENOMEM));
  r = avcodec_parameters_copy(stream->codecpar, from.codecpar);
  if (r < 0) return Failed("avcodec_parameters_copy", r);
  stream->time_base = from.time_base;
  // The file claimed for the cut (empty, ours).
  r = avio_open(&context->pb, target.c_str(), AVIO_FLAG_WRITE);
  if (r < 0) return target + ": " + Failed("avio_open", r);
  AVDictionary* options = nullptr;
  if (from.codecpar->codec_id == AV_CODEC_ID_MP3) av_dict_set(&options, "id3v2_version", "0", 0);
  r = avformat_write_header(context, &options);
  av_dict_free(&options);
  if (r < 0) return Failed("avformat_write_header", r);
  return {};
}

}  // namespace

std::string PacketRangeCopy::Copy(const std::string& take, const TrimRange& range, const std::string& target,
                                  TrimRange* kept) {
  RegularFileInput file;
  if (std::string refusal = file.Open(take); !refusal.empty()) return take + ": " + refusal;
  AVFormatContext* opened = nullptr;
  int r = avformat_open_input(&opened, file.DemuxerUrl().c_str(), nullptr, nullptr);
  if (r < 0) return take + ": " + Failed("avformat_open_input", r);
  Input input(opened);
  r = avformat_find_stream_info(opened, nullptr);
  if (r < 0) return take + ": " + Failed("avformat_find_stream_info", r);
  const int index = av_find_best_stream(opened, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (index < 0) return take + ": " + Failed("av_find_best_stream", index);
  const AVStream& stream = *opened->streams[index];
  const AVRational base = stream.time_base;
  const int64_t first = av_rescale_q(range.first, {1, range.rate}, base);
  const int64_t end = av_rescale_q(range.end, {1, range.rate}, base);

  Output output;
  if (std::string error = OpenOutput(stream, target, output); !error.empty()) return error;
  AVStream& outStream = *output->streams[0];
  const std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
  if (!packet) return Failed("av_packet_alloc", AVERROR(ENOMEM));
  int64_t takeStart = AV_NOPTS_VALUE;  // the take's first packet: its positions count from here
  int64_t shift = AV_NOPTS_VALUE;      // subtracted so the cut starts where the take did
  int64_t keptEnd = 0;                 // the end of the last packet copied, from the take's start
  while ((r = av_read_frame(opened, packet.get())) >= 0) {
    if (packet->stream_index != index || packet->pts == AV_NOPTS_VALUE) {
      av_packet_unref(packet.get());
      continue;
    }
    if (takeStart == AV_NOPTS_VALUE) takeStart = packet->pts;
    const int64_t middle = packet->pts - takeStart + packet->duration / 2;
    if (middle >= end) {
      av_packet_unref(packet.get());
      break;
    }
    if (middle < first) {
      av_packet_unref(packet.get());
      continue;
    }
    if (shift == AV_NOPTS_VALUE) shift = packet->pts - takeStart;
    keptEnd = packet->pts - takeStart + packet->duration;
    packet->pts -= shift;
    packet->dts = packet->dts == AV_NOPTS_VALUE ? packet->pts : packet->dts - shift;
    packet->stream_index = 0;
    packet->pos = -1;
    av_packet_rescale_ts(packet.get(), base, outStream.time_base);
    r = av_interleaved_write_frame(output.get(), packet.get());
    if (r < 0) return target + ": " + Failed("av_interleaved_write_frame", r);
  }
  if (r < 0 && r != AVERROR_EOF) return take + ": " + Failed("av_read_frame", r);
  r = av_write_trailer(output.get());
  if (r < 0) return target + ": " + Failed("av_write_trailer", r);
  r = avio_closep(&output->pb);
  if (r < 0) return target + ": " + Failed("avio_closep", r);
  if (kept != nullptr && shift != AV_NOPTS_VALUE) {
    kept->first = av_rescale_q(shift, base, {1, range.rate});
    kept->end = av_rescale_q(keptEnd, base, {1, range.rate});
  }
  return {};
}
