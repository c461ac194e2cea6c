// DiskSpaceGuard against a scripted file system: the start threshold of ten
// seconds of the chosen format, the stop reserve, and one query per second of
// recorded input however fast the input arrives.
#include "app/recording/DiskSpaceGuard.h"

#include <gtest/gtest.h>

namespace {

struct ScriptedDisk {
  std::optional<uint64_t> free = 1ull << 40;
  int queries = 0;
  std::string lastPath;
  DiskSpaceGuard::FreeBytesQuery Query() {
    return [this](const std::string& path) {
      ++queries;
      lastPath = path;
      return free;
    };
  }
};

TEST(DiskSpaceGuardTest, StartNeedsTenSecondsOfTheChosenFormat) {
  ScriptedDisk disk;
  DiskSpaceGuard guard(disk.Query());
  disk.free = 1764000;  // exactly 10 s of 44.1 kHz stereo PCM
  EXPECT_TRUE(guard.RoomToStart("/rec/file/录音1.wav", 176400));
  EXPECT_EQ(disk.lastPath, "/rec/file");
  disk.free = 1763999;
  EXPECT_FALSE(guard.RoomToStart("/rec/file/录音1.wav", 176400));
  EXPECT_TRUE(guard.RoomToStart("/rec/file/录音1.wav", 4055)) << "enough for 10 s of a small ADPCM";
  disk.free = 1000;
  EXPECT_FALSE(guard.RoomToStart("/rec/file/x.wav", 1)) << "never below the fixed reserve";
  disk.free = std::nullopt;
  EXPECT_TRUE(guard.RoomToStart("/rec/file/x.wav", 176400)) << "unknown room does not block";
}

TEST(DiskSpaceGuardTest, StopsWhileTheReserveStillFitsCheckingOncePerRecordedSecond) {
  ScriptedDisk disk;
  DiskSpaceGuard guard(disk.Query());
  EXPECT_TRUE(guard.Recorded(10240)) << "no recording: nothing to guard";
  EXPECT_EQ(disk.queries, 0);

  guard.Begin("/rec/file/录音1.wav", 44100, 176400);  // ADPCM-sized output from stereo input
  EXPECT_TRUE(guard.Recorded(10240));
  EXPECT_EQ(disk.queries, 1) << "the first block is checked";
  // 17 more blocks of 10240 bytes stay below one second of input (176400 bytes).
  for (int i = 0; i < 17; ++i) EXPECT_TRUE(guard.Recorded(10240));
  EXPECT_EQ(disk.queries, 1);
  EXPECT_TRUE(guard.Recorded(10240));
  EXPECT_EQ(disk.queries, 2);

  disk.free = 3 * 44100;  // exactly the reserve: still fine
  for (int i = 0; i < 18; ++i) EXPECT_TRUE(guard.Recorded(10240));
  disk.free = 3 * 44100 - 1;
  bool stopped = false;
  for (int i = 0; i < 18 && !stopped; ++i) stopped = !guard.Recorded(10240);
  EXPECT_TRUE(stopped) << "within one second of input after the room fell short";

  guard.End();
  EXPECT_TRUE(guard.Recorded(10240));
}

TEST(DiskSpaceGuardTest, UnknownRoomNeverStopsARecording) {
  ScriptedDisk disk;
  disk.free = std::nullopt;
  DiskSpaceGuard guard(disk.Query());
  guard.Begin("rel.wav", 176400, 176400);
  EXPECT_TRUE(guard.Recorded(176400));
  EXPECT_EQ(disk.lastPath, ".") << "a bare file name lives in the current folder";
}

}  // namespace
