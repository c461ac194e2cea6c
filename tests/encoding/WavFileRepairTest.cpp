// Header repair of WAVE files whose size fields lag behind the audio they hold.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "encoding/WavFileRepair.h"

namespace {

namespace fs = std::filesystem;

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) { std::memcpy(bytes.data() + at, &value, 4); }

// 44100 Hz stereo 16-bit PCM, as the program records by default.
const std::vector<uint8_t> kStereo16 = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0, 0, 0};
// 8000 Hz mono 8-bit PCM: one byte per frame, so the audio may be odd-sized.
const std::vector<uint8_t> kMono8 = {1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x40, 0x1F, 0, 0, 1, 0, 8, 0, 0, 0};

// A 46-byte header whose sizes claim `claimedData` bytes, followed by
// `actualData` bytes of audio.
std::vector<uint8_t> MakeWave(uint32_t claimedData, size_t actualData, const std::vector<uint8_t>& format = kStereo16) {
  std::vector<uint8_t> bytes(46 + actualData, 0);
  std::memcpy(bytes.data(), "RIFF", 4);
  PutU32(bytes, 4, 38 + claimedData);
  std::memcpy(bytes.data() + 8, "WAVEfmt ", 8);
  PutU32(bytes, 16, 18);
  std::memcpy(bytes.data() + 20, format.data(), 18);
  std::memcpy(bytes.data() + 38, "data", 4);
  PutU32(bytes, 42, claimedData);
  for (size_t i = 0; i < actualData; ++i) bytes[46 + i] = static_cast<uint8_t>(i * 7);
  return bytes;
}

// Appends a chunk as tag editors do, with its pad byte when odd.
void AppendChunk(std::vector<uint8_t>& bytes, const char* id, const std::string& payload) {
  const size_t at = bytes.size();
  bytes.resize(at + 8 + payload.size() + payload.size() % 2, 0);
  std::memcpy(bytes.data() + at, id, 4);
  PutU32(bytes, at + 4, static_cast<uint32_t>(payload.size()));
  std::memcpy(bytes.data() + at + 8, payload.data(), payload.size());
}

// The RIFF size set to the file's length, as a finished file has it.
std::vector<uint8_t> Finished(std::vector<uint8_t> bytes) {
  PutU32(bytes, 4, static_cast<uint32_t>(bytes.size() - 8));
  return bytes;
}

// Read calls this process has made so far; -1 where /proc does not say.
long ReadCalls() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long value = 0;
  while (io >> key >> value) {
    if (key == "syscr:") return value;
  }
  return -1;
}

class WavFileRepairTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("wavrepair-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const auto path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
  }

  static std::vector<uint8_t> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  static uint32_t U32At(const std::vector<uint8_t>& bytes, size_t at) {
    uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
  }

  fs::path folder_;
};

TEST_F(WavFileRepairTest, LeavesConsistentFilesAndNonWaveFilesAlone) {
  const auto good = Write("good.wav", MakeWave(4000, 4000));
  EXPECT_FALSE(WavFileRepair::NeedsRepair(good));
  EXPECT_EQ(WavFileRepair::Repair(good), WavFileRepair::Outcome::Consistent);
  EXPECT_EQ(Read(good), MakeWave(4000, 4000));

  const auto empty = Write("empty.wav", {});
  EXPECT_EQ(WavFileRepair::Repair(empty), WavFileRepair::Outcome::NotWave);
  const auto zeros = Write("zeros.wav", std::vector<uint8_t>(46, 0));
  EXPECT_EQ(WavFileRepair::Repair(zeros), WavFileRepair::Outcome::NotWave);
  EXPECT_EQ(WavFileRepair::Repair((folder_ / "missing.wav").string()), WavFileRepair::Outcome::NotWave);
}

TEST_F(WavFileRepairTest, RewritesSizesOfAudioWrittenAfterTheLastHeader) {
  const auto path = Write("killed.wav", MakeWave(1000, 8000));
  ASSERT_TRUE(WavFileRepair::NeedsRepair(path));
  EXPECT_EQ(WavFileRepair::Repair(path), WavFileRepair::Outcome::Repaired);
  const auto bytes = Read(path);
  ASSERT_EQ(bytes.size(), 46u + 8000u);
  EXPECT_EQ(U32At(bytes, 4), 38u + 8000u);
  EXPECT_EQ(U32At(bytes, 42), 8000u);
  // The audio itself is untouched.
  const auto original = MakeWave(8000, 8000);
  EXPECT_TRUE(std::equal(bytes.begin() + 46, bytes.end(), original.begin() + 46, original.end()));
  EXPECT_FALSE(WavFileRepair::NeedsRepair(path));
}

TEST_F(WavFileRepairTest, CutsAPartialFrameSoReadersSeeWholeFrames) {
  const auto path = Write("partial.wav", MakeWave(0, 4003));
  EXPECT_EQ(WavFileRepair::Repair(path), WavFileRepair::Outcome::Repaired);
  const auto bytes = Read(path);
  EXPECT_EQ(bytes.size(), 46u + 4000u);
  EXPECT_EQ(U32At(bytes, 42), 4000u);

  // An independent reader agrees: 1000 stereo frames.
  const std::string command = "soxi -s '" + path + "' 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[64] = {};
  const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
  ::pclose(pipe);
  ASSERT_TRUE(read) << "soxi could not read the repaired file";
  EXPECT_EQ(std::stol(line), 1000);
}

TEST_F(WavFileRepairTest, ReportsFailureWhenTheFileCannotBeWritten) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes read-only files anyway";
  const auto path = Write("readonly.wav", MakeWave(0, 400));
  fs::permissions(path, fs::perms::owner_read);
  std::string reason;
  EXPECT_EQ(WavFileRepair::Repair(path, &reason), WavFileRepair::Outcome::Failed);
  EXPECT_NE(reason.find("Permission denied"), std::string::npos) << reason;
}

TEST_F(WavFileRepairTest, FinishedFilesWithChunksOrAPadByteAfterTheAudioAreLeftAlone) {
  auto tagged = MakeWave(4000, 4000);
  AppendChunk(tagged, "LIST", std::string("INFOINAM\x06\0\0\0Song 1", 18));
  AppendChunk(tagged, "id3 ", "ID3 tag body");
  AppendChunk(tagged, "id3 ", "odd length!");
  tagged = Finished(tagged);
  const auto taggedPath = Write("tagged.wav", tagged);
  EXPECT_EQ(WavFileRepair::Repair(taggedPath), WavFileRepair::Outcome::Consistent);
  EXPECT_EQ(Read(taggedPath), tagged) << "the tag chunks were taken for audio";

  // Sizes that disagree, but chunks explain every byte: not a cut-off recording.
  auto misdeclared = tagged;
  PutU32(misdeclared, 4, 4);
  const auto misdeclaredPath = Write("misdeclared.wav", misdeclared);
  EXPECT_EQ(WavFileRepair::Repair(misdeclaredPath), WavFileRepair::Outcome::Unprovable);
  EXPECT_EQ(Read(misdeclaredPath), misdeclared);

  auto padded = MakeWave(4001, 4001, kMono8);
  padded.push_back(0);  // the pad byte after odd-sized audio
  padded = Finished(padded);
  const auto paddedPath = Write("padded.wav", padded);
  EXPECT_EQ(WavFileRepair::Repair(paddedPath), WavFileRepair::Outcome::Consistent);
  EXPECT_EQ(Read(paddedPath), padded) << "the pad byte was taken for audio";

  // A killed 8-bit recording with an odd stale size is still mended in full.
  const auto killed = Write("killed8.wav", MakeWave(1001, 4001, kMono8));
  EXPECT_EQ(WavFileRepair::Repair(killed), WavFileRepair::Outcome::Repaired);
  EXPECT_EQ(Read(killed), Finished(MakeWave(4001, 4001, kMono8)));
}

// Sizes that disagree with the length, in layouts our writer never leaves: an
// ID3v1 tag or zeros after a finished file, sizes a writer streaming to a pipe
// could not fill in, a header of another writer (a format record without its
// cbSize, a chunk before the audio).
TEST_F(WavFileRepairTest, LayoutsOurWriterNeverLeavesAreLeftAlone) {
  auto tagged = MakeWave(4000, 4000);
  std::string tag = "TAGSong title";
  tag.resize(128, ' ');
  tagged.insert(tagged.end(), tag.begin(), tag.end());
  auto padded = MakeWave(4000, 4000);
  padded.resize(padded.size() + 4096, 0);
  auto streamed = MakeWave(4000, 4000);
  PutU32(streamed, 4, 0xFFFFFFFF);
  PutU32(streamed, 42, 0xFFFFFFFF);
  auto shortFormat = MakeWave(1000, 8000);
  shortFormat.erase(shortFormat.begin() + 36, shortFormat.begin() + 38);
  PutU32(shortFormat, 16, 16);
  PutU32(shortFormat, 4, 36 + 1000);
  auto listed = MakeWave(1000, 8000);
  const std::string list("LIST\4\0\0\0INFO", 12);
  listed.insert(listed.begin() + 38, list.begin(), list.end());
  PutU32(listed, 4, 38 + 12 + 1000);

  for (const auto& [name, bytes] : {std::pair{"tagged.wav", tagged}, {"padded.wav", padded}, {"streamed.wav", streamed},
                                    {"short-format.wav", shortFormat}, {"listed.wav", listed}}) {
    const auto path = Write(name, bytes);
    EXPECT_EQ(WavFileRepair::Repair(path), WavFileRepair::Outcome::Unprovable) << name;
    EXPECT_EQ(Read(path), bytes) << name;
  }
}

TEST_F(WavFileRepairTest, NeverFollowsALinkNorCutsAFileBeyondTheRiffSizes) {
  const auto stale = MakeWave(1000, 8000);
  const auto target = Write("elsewhere.wav", stale);
  const auto link = folder_ / "link.wav";
  fs::create_symlink(target, link);
  EXPECT_FALSE(WavFileRepair::NeedsRepair(link.string()));
  EXPECT_EQ(WavFileRepair::Repair(link.string()), WavFileRepair::Outcome::NotWave);
  EXPECT_EQ(Read(target), stale) << "the link's target was modified";

  // Past 4 GiB (sparse): the 32-bit sizes cannot describe it, so it is not ours to cut.
  const auto big = Write("big.wav", stale);
  const auto length = static_cast<off_t>(0x100000000LL + 4096);
  if (::truncate(big.c_str(), length) != 0) GTEST_SKIP() << "no sparse 4 GiB file here";
  EXPECT_FALSE(WavFileRepair::NeedsRepair(big));
  EXPECT_EQ(WavFileRepair::Repair(big), WavFileRepair::Outcome::Unprovable);
  EXPECT_EQ(fs::file_size(big), static_cast<uintmax_t>(length));
  std::vector<uint8_t> head(46);
  std::ifstream(big, std::ios::binary).read(reinterpret_cast<char*>(head.data()), 46);
  EXPECT_TRUE(std::equal(head.begin(), head.end(), stale.begin())) << "the sizes were rewritten";
}

TEST_F(WavFileRepairTest, ReadingTheLayoutTakesAFewReadsWhateverTheFileHolds) {
  if (ReadCalls() < 0) GTEST_SKIP() << "/proc/self/io not readable";
  std::vector<uint8_t> riff = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  const auto zeros = Write("zeros.wav", riff);
  ASSERT_EQ(::truncate(zeros.c_str(), 16 << 20), 0);  // 16 MiB of zeros after "WAVE"
  auto chunks = riff;
  for (int i = 0; i < 65536; ++i) AppendChunk(chunks, "JUNK", "");
  const auto empties = Write("empties.wav", chunks);
  // Stale audio followed by 64 Ki empty chunks: the walk after the audio is capped too.
  auto tail = MakeWave(4000, 4000);
  for (int i = 0; i < 65536; ++i) AppendChunk(tail, "JUNK", "");
  const auto longTail = Write("longtail.wav", tail);

  for (const auto& path : {zeros, empties, longTail}) {
    SCOPED_TRACE(path);
    const long before = ReadCalls();
    const auto outcome = WavFileRepair::Repair(path);
    EXPECT_LT(ReadCalls() - before, 4 * WavFileRepair::kMaxChunks) << "read calls";
    EXPECT_NE(outcome, WavFileRepair::Outcome::Repaired);
  }
  EXPECT_EQ(Read(longTail), tail);
}

}  // namespace

namespace {

// Tag chunks as our tagging appends them after the audio.
std::vector<uint8_t> OurTagChunks() {
  std::vector<uint8_t> chunks;
  AppendChunk(chunks, "LIST", std::string("INFOINAM\x05\0\0\0take\0\0", 18));
  AppendChunk(chunks, "cue ", std::string(28, '\1'));
  AppendChunk(chunks, "bext", std::string(602, '\0'));
  AppendChunk(chunks, "id3 ", std::string("ID3\4\0\0\0\0\0\x0B", 10) + std::string("TIT2\0\0\0\1\0\0\3", 11));
  return chunks;
}

}  // namespace

// Killed while the tags were appended: the sizes still describe the bare audio.
TEST_F(WavFileRepairTest, OurTagChunksAreKeptWhenFinishedAndDroppedWhenCutShort) {
  const auto chunks = OurTagChunks();
  auto tagged = MakeWave(4000, 4000);
  tagged.insert(tagged.end(), chunks.begin(), chunks.end());
  tagged = Finished(tagged);
  const auto taggedPath = Write("tagged.wav", tagged);
  EXPECT_EQ(WavFileRepair::Repair(taggedPath), WavFileRepair::Outcome::Consistent);
  EXPECT_EQ(Read(taggedPath), tagged);

  for (const auto& format : {kStereo16, kMono8}) {
    const uint32_t audio = format == kMono8 ? 4001 : 4000;  // odd audio: our pad byte first
    const auto bare = MakeWave(audio, audio, format);
    auto tail = chunks;
    if (audio % 2 != 0) tail.insert(tail.begin(), 0);
    for (size_t cut : {size_t{1}, size_t{3}, size_t{8}, size_t{30}, tail.size() - 1, tail.size()}) {
      auto killed = bare;
      killed.insert(killed.end(), tail.begin(), tail.begin() + static_cast<std::ptrdiff_t>(cut));
      const auto path = Write("killed.wav", killed);
      EXPECT_TRUE(WavFileRepair::NeedsRepair(path)) << cut;
      EXPECT_EQ(WavFileRepair::Repair(path), WavFileRepair::Outcome::Repaired) << cut;
      EXPECT_EQ(Read(path), bare) << audio << " bytes of audio, tags cut after " << cut;
    }
  }
}

// Audio written after the last header that only resembles our chunks (a size
// ours never has) stays audio.
TEST_F(WavFileRepairTest, AudioThatResemblesOurTagsIsNotDropped) {
  auto audio = MakeWave(4000, 4000);
  const std::string huge("LIST\0\0\0\1INFO", 12);  // 16 MiB
  audio.insert(audio.end(), huge.begin(), huge.end());
  audio.resize(audio.size() + 4000, 9);
  const auto audioPath = Write("audio.wav", audio);
  EXPECT_EQ(WavFileRepair::Repair(audioPath), WavFileRepair::Outcome::Repaired);
  const auto mended = Read(audioPath);
  EXPECT_EQ(mended.size(), audio.size()) << "audio after the last header was dropped";
  EXPECT_EQ(U32At(mended, 42), audio.size() - 46);
}
