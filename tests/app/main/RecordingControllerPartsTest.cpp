// RecordingController across files: a file that reaches its size limit goes on
// in the next part with every sample (real WAV encoder with a low file length
// limit, real files, sox as the reader), and a change of file type gives the
// reserved number the new extension.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <functional>

#include "TestDoubles.h"
#include "app/recording/RecordingJournal.h"
#include "encoding/CodecConversionStream.h"
#include "encoding/EncoderWAV.h"
#include "encoding/WavFileRepair.h"
#include "tagging/WavMetadataReader.h"
#include "tests/encoding/AudioProbe.h"

namespace {

std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }

class RecordingControllerPartsTest : public ::testing::Test {
 protected:
  static constexpr int32_t kBlockBytes = 10240;
  // The encoder keeps room for one second (176400 bytes) of output and of
  // flush: with this limit two blocks fit a file, the third is refused.
  static constexpr int64_t kFileLimit = 46 + 2 * 176400 + kBlockBytes + 4000;

  void SetUp() override {
    QDir(folder.Path()).mkpath("file");
    controller.Questions(&questions);
  }

  QString Numbered(int n) const { return folder.Path() + "/file/录音" + QString::number(n) + ".wav"; }

  // Records `blocks` blocks of distinct samples, stops, and returns what was fed;
  // `afterBlock` (when set) runs after each block with its index.
  std::vector<int16_t> RecordBlocks(int blocks, const std::function<void(int)>& afterBlock = {}) {
    controller.Toggle();
    EXPECT_TRUE(capture.recording);
    std::vector<int16_t> fed;
    std::vector<int16_t> block(kBlockBytes / 2);
    for (int b = 0; b < blocks; ++b) {
      for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<int16_t>((b * block.size() + i) * 7 % 60000 - 30000);
      controller.GotData(block, kBlockBytes);
      fed.insert(fed.end(), block.begin(), block.end());
      if (afterBlock) afterBlock(b);
    }
    if (capture.recording) controller.Toggle();
    return fed;
  }

  // The parts read by sox, one after the other.
  static std::vector<int16_t> Joined(const std::vector<QString>& parts) {
    std::vector<int16_t> joined;
    for (const QString& part : parts) {
      EXPECT_FALSE(WavFileRepair::NeedsRepair(Utf8(part))) << "finished like a normal recording: " << Utf8(part);
      const auto samples = DecodeWithSox(Utf8(part));
      EXPECT_TRUE(samples.has_value()) << Utf8(part);
      if (samples) joined.insert(joined.end(), samples->begin(), samples->end());
    }
    return joined;
  }

  TempProgramFolder folder;
  FakeCapture capture;
  EncoderWAV encoder{std::make_unique<CodecConversionStream>(), kFileLimit};
  clsDSP effects;
  FakeView view;
  RecordingMessages messages;
  ScriptedQuestions questions;
  RecordingController controller{capture, encoder, effects, view, messages};
};

TEST_F(RecordingControllerPartsTest, FullNumberedFileGoesOnInTheNextFreeNumberWithEverySample) {
  WriteAll(folder.Path() + "/nu.ini", "3\r\n");
  controller.StartUp();
  WriteAll(Numbered(4), "RIFF another copy's recording");

  // While a part is written it is journalled; the parts before are finished and gone from it.
  std::vector<QStringList> journalled;
  const auto fed = RecordBlocks(5, [&](int) { journalled.push_back(RecordingJournal().Read().names); });
  EXPECT_EQ(journalled[1], QStringList{"录音3.wav"});
  EXPECT_EQ(journalled[2], QStringList{"录音5.wav"});
  EXPECT_EQ(journalled[4], QStringList{"录音6.wav"});
  const std::vector<QString> parts = {Numbered(3), Numbered(5), Numbered(6)};
  EXPECT_EQ(Joined(parts), fed) << "the block each full file refused opens the next";
  EXPECT_EQ(WaveAudioEnd(Numbered(3)), 46 + 2 * kBlockBytes);
  EXPECT_EQ(WaveAudioEnd(Numbered(6)), 46 + kBlockBytes);
  EXPECT_EQ(ReadAll(Numbered(4)), QByteArray("RIFF another copy's recording"));
  EXPECT_EQ(view.outputFile, Utf8(Numbered(7)));
  EXPECT_EQ(ReadAll(folder.Path() + "/nu.ini"), QByteArray("7\r\n"));
  EXPECT_TRUE(RecordingJournal().Read().names.isEmpty()) << "every part finished";

  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, "Tamblin");
  std::string expected = "录音超过单个文件的大小上限, 已分别保存在以下文件中:";
  for (const QString& part : parts) expected += "\n" + Utf8(part);
  EXPECT_EQ(messages.shown[0].text, expected);

  // The next recording fits one file and says nothing.
  messages.shown.clear();
  RecordBlocks(2);
  EXPECT_TRUE(messages.shown.empty());
}

// The review row offers the last part: its file, its length (the block the
// full part refused included) and its own markers.
TEST_F(RecordingControllerPartsTest, TheTakeOfferedForReviewIsTheLastPart) {
  controller.StartUp();
  RecordBlocks(5);
  EXPECT_EQ(controller.Take().Path(), Utf8(Numbered(2)));
  EXPECT_EQ(controller.Take().Frames(), kBlockBytes / 4);
  EXPECT_EQ(controller.Markers().Position(), controller.Take().Frames());
}

TEST_F(RecordingControllerPartsTest, FullChosenFileGoesOnBesideItNeverOverAFileWithData) {
  controller.StartUp();
  const QString mine = folder.Path() + "/mine.wav";
  WriteAll(folder.Path() + "/mine (2).wav", "keep me");
  view.outputFile = Utf8(mine);

  const auto fed = RecordBlocks(6);
  const std::vector<QString> parts = {mine, folder.Path() + "/mine (3).wav", folder.Path() + "/mine (4).wav"};
  EXPECT_EQ(Joined(parts), fed);
  EXPECT_EQ(ReadAll(folder.Path() + "/mine (2).wav"), QByteArray("keep me"));
  EXPECT_FALSE(QFileInfo::exists(folder.Path() + "/mine (5).wav"));
  EXPECT_TRUE(questions.asked.empty()) << "parts never replace anything, so never ask";
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_NE(messages.shown[0].text.find(Utf8(parts[2])), std::string::npos) << messages.shown[0].text;
}

// Texts set before a start tag every part of it and the takes after it, until
// changed; cleared, each file is titled by its name again.
TEST_F(RecordingControllerPartsTest, TextsSetBeforeAStartTagEveryPartUntilChanged) {
  controller.StartUp();
  controller.Texts({.title = "访谈", .software = "", .comment = "第一天"});
  RecordBlocks(5);
  const auto texts = [](const QString& file) {
    TakeMetadata metadata;
    EXPECT_EQ(WavMetadataReader::Read(Utf8(file), metadata), "") << Utf8(file);
    return metadata.title + "|" + metadata.comment;
  };
  for (int part : {0, 1, 2}) EXPECT_EQ(texts(Numbered(part)), "访谈|第一天") << part;
  RecordBlocks(1);
  EXPECT_EQ(texts(Numbered(3)), "访谈|第一天") << "they stay for the next take";

  // A change while recording is for the next start.
  controller.Toggle();
  controller.Texts({});
  controller.Toggle();
  EXPECT_EQ(texts(Numbered(4)), "访谈|第一天");
  RecordBlocks(1);
  EXPECT_EQ(texts(Numbered(5)), "录音5|");
}

TEST_F(RecordingControllerPartsTest, NoFreeNameForTheNextPartStopsWithAMessageAndTouchesNothing) {
  controller.StartUp();
  const QString mine = folder.Path() + "/mine.wav";
  for (int n = 2; n < 40; ++n) WriteAll(folder.Path() + QString("/mine (%1).wav").arg(n), "taken");
  view.outputFile = Utf8(mine);
  RecordBlocks(3);
  EXPECT_EQ(WaveAudioEnd(mine), 46 + 2 * kBlockBytes) << "finished with the blocks that fit";
  for (int n = 2; n < 40; ++n) EXPECT_EQ(ReadAll(folder.Path() + QString("/mine (%1).wav").arg(n)), "taken") << n;
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "文件已满, 无法创建下一个文件, 录音已停止!");
}

class RecordingControllerFakePartsTest : public ::testing::Test, protected ControllerRig {
 protected:
  QString Numbered(int n, const char* extension = "wav") const {
    return folder.Path() + "/file/录音" + QString::number(n) + "." + extension;
  }
};

TEST_F(RecordingControllerFakePartsTest, BlockRefusedEvenByTheNextEmptyFileStopsWithTheLimitMessage) {
  controller.StartUp();
  controller.Toggle();
  encoder.encodeResult = ENC_SIZE_LIMIT;
  const std::vector<int16_t> block(5120, 100);
  controller.GotData(block, 10240);
  EXPECT_FALSE(capture.recording);
  EXPECT_EQ(encoder.closes, 2);
  EXPECT_EQ(encoder.encoded.size(), 2u) << "offered once to each file, then no more";
  ASSERT_FALSE(messages.shown.empty());
  EXPECT_EQ(messages.shown[0].text, "文件已达到 WAV 格式的 4 GB 上限, 录音已停止!");
}

TEST_F(RecordingControllerFakePartsTest, TypeChangeRenamesTheReservedNumberMakingNoFile) {
  controller.StartUp();
  encoder.extension = "flac";
  controller.FileTypeChanged();
  EXPECT_EQ(QDir(folder.Path() + "/file").entryList(QDir::Files), QStringList{});
  EXPECT_EQ(view.outputFile, Utf8(Numbered(0, "flac")));

  // Written to since (another program): kept, and its number is used for every
  // type; the user's own file stays in the box.
  WriteAll(Numbered(0, "flac"), "data");
  view.outputFile = Utf8(folder.Path() + "/mine.flac");
  encoder.extension = "mp3";
  controller.FileTypeChanged();
  EXPECT_EQ(ReadAll(Numbered(0, "flac")), QByteArray("data"));
  EXPECT_FALSE(QFileInfo::exists(Numbered(0, "mp3")));
  EXPECT_EQ(view.outputFile, Utf8(folder.Path() + "/mine.flac"));

  // The numbered file, now of the new type, is what the next start records into.
  view.outputFile = Utf8(Numbered(1, "mp3"));
  controller.Toggle();
  EXPECT_EQ(encoder.initOutput, Utf8(Numbered(1, "mp3")));
  controller.Toggle();
  EXPECT_EQ(view.outputFile, Utf8(Numbered(2, "mp3")));
}

TEST_F(RecordingControllerFakePartsTest, TypeChangeLeavesAnEmptyFileItFoundAtStartUp) {
  WriteAll(Numbered(0), "");  // left by an earlier run, or by someone else
  controller.StartUp();
  encoder.extension = "opus";
  controller.FileTypeChanged();
  EXPECT_TRUE(QFileInfo::exists(Numbered(0)));
  // Passed by at start-up (not ours to write into), it keeps the number it holds.
  EXPECT_EQ(view.outputFile, Utf8(Numbered(1, "opus")));
}

}  // namespace
