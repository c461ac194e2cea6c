// WavHeader: field placement for a compressed format's longer record, and
// clamping of sizes the 32-bit fields cannot hold.
#include "encoding/WavHeader.h"

#include <gtest/gtest.h>

#include "tests/encoding/AudioProbe.h"

namespace {

TEST(WavHeaderTest, FieldsFollowTheFormatLength) {
  std::vector<uint8_t> format(50);
  for (size_t i = 0; i < format.size(); ++i) format[i] = static_cast<uint8_t>(i + 1);
  std::vector<uint8_t> header(static_cast<size_t>(WavHeader::Size(50)));
  ASSERT_EQ(header.size(), 78u);
  WavHeader::Build(format, 78 + 1000, header);
  EXPECT_EQ(std::string(header.begin(), header.begin() + 4), "RIFF");
  EXPECT_EQ(ReadU32(header, 4), 1070u);
  EXPECT_EQ(std::string(header.begin() + 8, header.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(ReadU32(header, 16), 50u);
  EXPECT_TRUE(std::equal(format.begin(), format.end(), header.begin() + 20));
  EXPECT_EQ(std::string(header.begin() + 70, header.begin() + 74), "data");
  EXPECT_EQ(ReadU32(header, 74), 1000u);
}

TEST(WavHeaderTest, SizesAreClampedToTheirFields) {
  const std::vector<uint8_t> format(18);
  std::vector<uint8_t> header(46);
  WavHeader::Build(format, 20, header);  // shorter than the header itself
  EXPECT_EQ(ReadU32(header, 4), 12u);
  EXPECT_EQ(ReadU32(header, 42), 0u);
  WavHeader::Build(format, 0x1'0000'0100LL, header);  // past 4 GiB
  EXPECT_EQ(ReadU32(header, 4), 0xFFFFFFFFu);
  EXPECT_EQ(ReadU32(header, 42), 0xFFFFFFFFu);
}

}  // namespace
