// FlacFileRepair: an unfinished FLAC file (total samples unknown, cut inside a
// frame) gets the count of its whole frames; anything not provably such a file,
// or already finished, is left byte for byte as it was.
#include "encoding/FlacFileRepair.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "encoding/EncoderFLAC.h"
#include "tests/encoding/AudioProbe.h"

namespace {

constexpr size_t kTotalSamplesAt = 21;  // STREAMINFO's 36-bit total: low nibble here, then 4 bytes

void WriteBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class FlacFileRepairTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EncoderFLAC encoder;
    ASSERT_EQ(encoder.EncoderInit(44100, 2, finished), ENC_OK);
    int32_t used = 0;
    for (size_t at = 0; at < signal.size(); at += 5120) {
      const auto count = static_cast<int32_t>(std::min<size_t>(5120, signal.size() - at));
      ASSERT_EQ(encoder.Encode(signal.data() + at, count * 2, used), ENC_OK);
    }
    ASSERT_EQ(encoder.EncoderClose(), ENC_OK);
  }

  // The finished file as a killed recording leaves it: total unknown, `length` bytes long.
  std::vector<uint8_t> Unfinished(size_t length) const {
    auto bytes = ReadFileBytes(finished);
    bytes.resize(length);
    bytes[kTotalSamplesAt] &= 0xF0;
    std::fill(bytes.begin() + kTotalSamplesAt + 1, bytes.begin() + kTotalSamplesAt + 5, uint8_t{0});
    return bytes;
  }

  // Repairs `file` and checks that it was left exactly as it was.
  void ExpectLeftAlone(const std::filesystem::path& file, FlacFileRepair::Outcome expected) {
    const auto before = ReadFileBytes(file);
    EXPECT_EQ(FlacFileRepair::Repair(file.string()), expected) << file;
    EXPECT_EQ(ReadFileBytes(file), before) << file;
  }

  TempDir dir;
  std::filesystem::path finished = dir / "finished.flac";
  std::vector<int16_t> signal = TestSignal(44100, 2, 3.0);
};

TEST_F(FlacFileRepairTest, CountsTheWholeFramesOfAFileCutInsideAFrame) {
  const auto file = dir / "cut.flac";
  const size_t length = std::filesystem::file_size(finished) * 2 / 3;
  WriteBytes(file, Unfinished(length));
  EXPECT_EQ(FlacFileRepair::Repair(file.string()), FlacFileRepair::Outcome::Repaired);
  EXPECT_EQ(std::filesystem::file_size(file), length) << "never shortened";

  const auto decoded = DecodeWithFfmpeg(file);
  ASSERT_TRUE(decoded.has_value());
  ASSERT_GT(decoded->size(), signal.size() / 2);
  EXPECT_EQ(decoded->size() / 2 % 4608, 0u) << "whole frames of the encoder's block size";
  EXPECT_TRUE(std::equal(decoded->begin(), decoded->end(), signal.begin()));
  const auto probe = ProbeWithFfprobe(file);
  ASSERT_TRUE(probe.has_value());
  EXPECT_NEAR(probe->duration, decoded->size() / 2 / 44100.0, 1e-6);
  ExpectLeftAlone(file, FlacFileRepair::Outcome::Consistent);
}

TEST_F(FlacFileRepairTest, AFileEndingOnAWholeFrameCountsItsLastFrame) {
  // The finished file minus STREAMINFO's total: its frames count every sample fed.
  const auto file = dir / "whole.flac";
  WriteBytes(file, Unfinished(std::filesystem::file_size(finished)));
  EXPECT_EQ(FlacFileRepair::Repair(file.string()), FlacFileRepair::Outcome::Repaired);
  auto expected = ReadFileBytes(finished);
  auto mended = ReadFileBytes(file);
  // The MD5 field stays as it was; everything else equals the properly finished file.
  std::fill(expected.begin() + 26, expected.begin() + 42, uint8_t{0});
  std::fill(mended.begin() + 26, mended.begin() + 42, uint8_t{0});
  EXPECT_TRUE(mended == expected);
}

TEST_F(FlacFileRepairTest, LeavesAloneWhatItCannotProveIsAnUnfinishedFlacFile) {
  ExpectLeftAlone(finished, FlacFileRepair::Outcome::Consistent);
  ExpectLeftAlone(dir / "missing.flac", FlacFileRepair::Outcome::NotFlac);
  EXPECT_EQ(FlacFileRepair::Repair(dir.path().string()), FlacFileRepair::Outcome::NotFlac);

  const auto wave = dir / "riff.wav";
  WriteBytes(wave, std::vector<uint8_t>{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'});
  ExpectLeftAlone(wave, FlacFileRepair::Outcome::NotFlac);

  // A link to an unfinished file is not followed.
  const auto target = dir / "target.flac";
  WriteBytes(target, Unfinished(std::filesystem::file_size(finished) / 2));
  const auto link = dir / "link.flac";
  std::filesystem::create_symlink(target, link);
  ExpectLeftAlone(link, FlacFileRepair::Outcome::NotFlac);
  EXPECT_EQ(FlacFileRepair::Repair(target.string()), FlacFileRepair::Outcome::Repaired) << "still unfinished";

  // A running recording's file (it holds the lock) waits for its own close.
  const auto running = dir / "running.flac";
  WriteBytes(running, Unfinished(std::filesystem::file_size(finished) / 2));
  const int fd = ::open(running.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  ExpectLeftAlone(running, FlacFileRepair::Outcome::InUse);
  close(fd);

  // Its header but no whole frame: nothing to count.
  const auto headerOnly = dir / "header.flac";
  WriteBytes(headerOnly, Unfinished(8300));
  ExpectLeftAlone(headerOnly, FlacFileRepair::Outcome::Unprovable);

  // Its header, then a gigabyte of nothing (sparse): only the tail is read, and it holds no frame.
  const auto huge = dir / "huge.flac";
  WriteBytes(huge, Unfinished(std::filesystem::file_size(finished) / 2));
  std::filesystem::resize_file(huge, uintmax_t{1} << 30);
  EXPECT_EQ(FlacFileRepair::Repair(huge.string()), FlacFileRepair::Outcome::Unprovable);
  EXPECT_EQ(std::filesystem::file_size(huge), uintmax_t{1} << 30);
}

// Total unknown, but not as our killed recordings leave it: a stream another
// program ended on a short frame but could not seek back to STREAMINFO (a
// pipe), and a file of another encoder (vendor string).
TEST_F(FlacFileRepairTest, StreamsOtherWritersFinishedAreLeftAlone) {
  const auto streamed = dir / "streamed.flac";
  const std::string command = "ffmpeg -v error -f lavfi -i sine=d=1 -ac 2 -f flac pipe:1 > '" + streamed.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  ExpectLeftAlone(streamed, FlacFileRepair::Outcome::Unprovable);

  auto foreign = Unfinished(std::filesystem::file_size(finished) * 2 / 3);
  constexpr size_t kVendorAt = 42 + 4 + 4;  // after STREAMINFO, the comment block's header and the vendor length
  ASSERT_EQ(std::string(foreign.begin() + kVendorAt, foreign.begin() + kVendorAt + 4), "Lavf");
  std::copy_n("xiph", 4, foreign.begin() + kVendorAt);
  WriteBytes(dir / "foreign.flac", foreign);
  ExpectLeftAlone(dir / "foreign.flac", FlacFileRepair::Outcome::Unprovable);
}

}  // namespace
