#include "tagging/WavMetadataChunks.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>

#include "tagging/LoudnessGains.h"
#include "tagging/MetadataTexts.h"
#include "tagging/TagLibTagger.h"

namespace {

class ChunkBytes {
 public:
  void Id(const char* id) { bytes_.insert(bytes_.end(), id, id + 4); }
  void U16(uint16_t value) { Raw(&value, 2); }
  void U32(uint32_t value) { Raw(&value, 4); }
  void Raw(const void* data, size_t size) {
    const auto* begin = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), begin, begin + size);
  }
  // `text` cut or zero-filled to exactly `size` bytes.
  void Fixed(const std::string& text, size_t size) {
    const size_t kept = std::min(text.size(), size);
    Raw(text.data(), kept);
    bytes_.resize(bytes_.size() + size - kept, 0);
  }
  // A chunk: id, size, body, pad byte when odd.
  void Chunk(const char* id, const std::vector<uint8_t>& body) {
    Id(id);
    U32(static_cast<uint32_t>(body.size()));
    Raw(body.data(), body.size());
    if (body.size() % 2 != 0) bytes_.push_back(0);
  }
  // A text chunk with its terminating zero.
  void Text(const char* id, const std::string& text) {
    std::vector<uint8_t> body(text.begin(), text.end());
    body.push_back(0);
    Chunk(id, body);
  }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// A "LIST" chunk of `type` around `content`.
void List(ChunkBytes& out, const char* type, std::vector<uint8_t> content) {
  content.insert(content.begin(), type, type + 4);
  out.Chunk("LIST", content);
}

void Info(ChunkBytes& out, const TakeMetadata& metadata) {
  ChunkBytes info;
  info.Text("INAM", metadata.title);
  info.Text("ICRD", MetadataTexts::LocalDateTime(metadata.start, ' '));
  info.Text("ISFT", metadata.software);
  if (!metadata.comment.empty()) info.Text("ICMT", metadata.comment);
  List(out, "INFO", info.bytes());
}

// The same texts as ID3v2 in UTF-8: readers that take INFO for Latin-1 read these.
void Id3(ChunkBytes& out, const TakeMetadata& metadata) { out.Chunk("id3 ", TagLibTagger::Id3v2Texts(metadata)); }

// The broadcast extension's texts are ASCII; any other text is left out rather than garbled.
std::string AsciiOnly(const std::string& text) {
  const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  return ascii ? text : std::string();
}

void CuePoints(ChunkBytes& out, const std::vector<TakeMetadata::Marker>& markers) {
  ChunkBytes cue;
  cue.U32(static_cast<uint32_t>(markers.size()));
  for (uint32_t id = 1; id <= markers.size(); ++id) {
    const auto frame = static_cast<uint32_t>(markers[id - 1].frame);
    cue.U32(id);
    cue.U32(frame);  // play order position
    cue.Id("data");
    cue.U32(0);  // chunk start: the one data chunk
    cue.U32(0);  // block start: uncompressed audio
    cue.U32(frame);
  }
  out.Chunk("cue ", cue.bytes());
}

void Labels(ChunkBytes& out, const std::vector<TakeMetadata::Marker>& markers) {
  ChunkBytes labels;
  for (uint32_t id = 1; id <= markers.size(); ++id) {
    std::vector<uint8_t> body(4);
    std::memcpy(body.data(), &id, 4);
    body.insert(body.end(), markers[id - 1].name.begin(), markers[id - 1].name.end());
    body.push_back(0);
    labels.Chunk("labl", body);
  }
  List(out, "adtl", labels.bytes());
}

void Bext(ChunkBytes& out, const TakeMetadata& metadata, const TakeMetadata::Loudness& loudness, int32_t rate) {
  const std::string dateTime = MetadataTexts::LocalDateTime(metadata.start, ' ');
  const std::time_t seconds = std::chrono::system_clock::to_time_t(metadata.start);
  std::tm local{};
  ::localtime_r(&seconds, &local);
  const uint64_t sinceMidnight = uint64_t(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) * uint64_t(rate);

  ChunkBytes bext;
  bext.Fixed(AsciiOnly(metadata.comment), 256);   // Description: readers show it as the comment
  bext.Fixed(AsciiOnly(metadata.software), 32);   // Originator
  bext.Fixed("", 32);                     // OriginatorReference
  bext.Fixed(dateTime.substr(0, 10), 10);  // OriginationDate yyyy-mm-dd
  bext.Fixed(dateTime.substr(11, 8), 8);   // OriginationTime hh:mm:ss
  bext.U32(static_cast<uint32_t>(sinceMidnight));        // TimeReference, low
  bext.U32(static_cast<uint32_t>(sinceMidnight >> 32));  // and high
  bext.U16(2);                                           // Version
  bext.Fixed("", 64);                                    // UMID
  constexpr double kAbsent = std::numeric_limits<double>::quiet_NaN();  // written as 0x7FFF
  for (double value : {loudness.integratedLufs, loudness.rangeLu, loudness.truePeakDbtp,
                       loudness.maxMomentaryLufs.value_or(kAbsent), loudness.maxShortTermLufs.value_or(kAbsent)}) {
    bext.U16(static_cast<uint16_t>(LoudnessGains::Hundredths(value)));
  }
  bext.Fixed("", 180);  // Reserved
  out.Chunk("bext", bext.bytes());
}

}  // namespace

std::vector<uint8_t> WavMetadataChunks::Build(const TakeMetadata& metadata, int32_t rate) {
  ChunkBytes out;
  Info(out, metadata);
  if (!metadata.markers.empty()) {
    CuePoints(out, metadata.markers);
    Labels(out, metadata.markers);
  }
  if (metadata.loudness) Bext(out, metadata, *metadata.loudness, rate);
  Id3(out, metadata);
  return std::move(out.bytes());
}
