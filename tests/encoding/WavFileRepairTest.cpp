// Header repair of WAVE files whose size fields lag behind the audio they hold.
#include <gtest/gtest.h>
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

// A 46-byte header of 44100 Hz stereo 16-bit PCM whose sizes claim `claimedData`
// bytes, followed by `actualData` bytes of audio.
std::vector<uint8_t> MakeWave(uint32_t claimedData, size_t actualData) {
  std::vector<uint8_t> bytes(46 + actualData, 0);
  std::memcpy(bytes.data(), "RIFF", 4);
  PutU32(bytes, 4, 38 + claimedData);
  std::memcpy(bytes.data() + 8, "WAVEfmt ", 8);
  PutU32(bytes, 16, 18);
  const uint8_t format[18] = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0, 0, 0};
  std::memcpy(bytes.data() + 20, format, 18);
  std::memcpy(bytes.data() + 38, "data", 4);
  PutU32(bytes, 42, claimedData);
  for (size_t i = 0; i < actualData; ++i) bytes[46 + i] = static_cast<uint8_t>(i * 7);
  return bytes;
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
  EXPECT_EQ(WavFileRepair::Repair(path), WavFileRepair::Outcome::Failed);
}

}  // namespace
