// The review panel: nothing is offered before a take or while recording; the
// cut handles dragged on the strip choose exactly the frames the new file
// keeps and the markers inside them; a click on the strip away from the handles asks for a seek;
// "标签…" re-tags the take.
#include <gtest/gtest.h>

#include <QDateTimeEdit>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <cstring>
#include <fstream>

#include "app/review/TakeOverview.h"
#include "app/review/TakeOverviewStrip.h"
#include "app/review/TakeReviewPanel.h"
#include "app/review/TakeTagsKeeper.h"
#include "app/review/frmTakeTags.h"
#include "capture/PlaybackOutput.h"
#include "encoding/EncoderWAV.h"
#include "encoding/TakeDecoder.h"
#include "tagging/LabelFile.h"
#include "tagging/TakeMetadataWriter.h"
#include "tagging/WavMetadataReader.h"
#include "tests/app/main/TestDoubles.h"
#include "tests/encoding/AudioProbe.h"
#include "tests/support/WaitingFifo.h"

namespace {

class SilentOutput : public PlaybackOutput {
 public:
  std::string Open(int32_t, int16_t) override { return {}; }
  int64_t Writable() override { return 0; }
  bool Write(std::span<const int16_t>) override { return true; }
  int64_t PlayedFrames() override { return 0; }
  void Drain() override {}
  bool Drained() override { return false; }
  void Close() override {}
  std::string LastError() const override { return {}; }
};

class TakeReviewPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("tamblin_review_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    take_ = (dir_ / "录音1.wav").string();
    samples_.resize(2 * 40000);
    for (size_t i = 0; i < samples_.size(); ++i) samples_[i] = static_cast<int16_t>(i * 7);
    EncoderWAV wav;
    ASSERT_EQ(wav.EncoderInit(44100, 2, take_), ENC_OK);
    int32_t used = 0;
    ASSERT_EQ(wav.Encode(samples_.data(), static_cast<int32_t>(samples_.size() * 2), used), ENC_OK);
    ASSERT_EQ(wav.EncoderClose(), ENC_OK);
    overview_.Begin(take_, 44100, 2);
    overview_.Add(samples_);
    panel_.resize(400, 120);
    panel_.show();
  }
  // A worker may still be closing a file of its own in the folder; what is left is only temporary data.
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  QPushButton& Button(const char* name) { return *panel_.findChild<QPushButton*>(name); }
  QLabel& TrimResult() { return *panel_.findChild<QLabel*>("lblTrimResult"); }
  // Clicks "剪辑" and waits for the worker's outcome beside it.
  void Cut() {
    QTest::mouseClick(&Button("cmdTrim"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return TrimResult().isVisible(); }));
  }
  TakeOverviewStrip& Strip() { return *panel_.findChild<TakeOverviewStrip*>("picTakeOverview"); }
  void Drag(int fromX, int toX) {
    const int y = Strip().height() / 2;
    QTest::mousePress(&Strip(), Qt::LeftButton, {}, QPoint(fromX, y));
    QTest::mouseMove(&Strip(), QPoint(toX, y));
    QTest::mouseRelease(&Strip(), Qt::LeftButton, {}, QPoint(toX, y));
  }

  std::filesystem::path dir_;
  std::string take_;
  std::vector<int16_t> samples_;
  TakeOverview overview_;
  TakeReviewPanel panel_{std::make_unique<SilentOutput>()};
};

// A new recording also clears the last take's strip and its cut's notice.
TEST_F(TakeReviewPanelTest, OffersPlayAndCutOnlyForAFinishedTake) {
  EXPECT_FALSE(Button("cmdPlay").isEnabled());
  panel_.ShowTake(overview_);
  EXPECT_TRUE(Button("cmdPlay").isEnabled());
  EXPECT_TRUE(Button("cmdTrim").isEnabled());
  Cut();
  panel_.RecordingStarted();
  EXPECT_FALSE(Button("cmdPlay").isEnabled());
  EXPECT_FALSE(Button("cmdTrim").isEnabled());
  EXPECT_FALSE(TrimResult().isVisible()) << TrimResult().text().toStdString();
  const QImage strip = Strip().grab().toImage();
  QImage empty(strip.size(), strip.format());
  empty.fill(Qt::black);
  EXPECT_EQ(strip, empty) << "the last take's strip";
}

TEST_F(TakeReviewPanelTest, DraggedHandlesChooseTheFramesTheCutKeeps) {
  panel_.ShowTake(overview_);
  Drag(0, 100);
  Drag(Strip().width() - 1, 300);
  const int64_t first = Strip().KeptFirst();
  const int64_t end = Strip().KeptEnd();
  EXPECT_EQ(first, Strip().XToFrame(100));
  EXPECT_EQ(end, Strip().XToFrame(300));
  Cut();
  TakeDecoder cut;
  ASSERT_TRUE(cut.Open((dir_ / "录音1 (剪辑).wav").string()));
  std::vector<int16_t> kept;
  while (cut.Read(kept, 4096) > 0) {
  }
  EXPECT_TRUE(kept == std::vector<int16_t>(samples_.begin() + first * 2, samples_.begin() + end * 2));
}

// The markers inside it, and its own loudness as a meter of its samples finds it.
TEST_F(TakeReviewPanelTest, TheCutCarriesTheMarkersInsideItAndItsOwnLoudness) {
  panel_.ShowTake(overview_);
  Drag(0, 100);
  const int64_t first = Strip().KeptFirst();
  const int64_t inside = Strip().XToFrame(200);
  const auto tagged = TakeMetadataWriter::Write(
      take_, EncoderSelection::TYPE_WAV, 44100,
      {.markers = {{10, "前"}, {inside, "中"}}, .loudness = TakeMetadata::Loudness{.integratedLufs = -40}});
  ASSERT_TRUE(tagged.ok()) << tagged.reason;
  Cut();
  const std::string cut = (dir_ / "录音1 (剪辑).wav").string();
  std::ifstream labels(LabelFile::PathFor(cut));
  const std::string text{std::istreambuf_iterator<char>(labels), {}};
  EXPECT_EQ(text, LabelFile::Text({{inside - first, "中"}}, 44100));
  TakeMetadata tags;
  ASSERT_EQ(WavMetadataReader::Read(cut, tags), "");
  const auto reference = MeasureWithFfmpeg(cut);
  ASSERT_TRUE(reference.has_value());
  ASSERT_TRUE(tags.loudness.has_value()) << "the cut has no loudness";
  EXPECT_NEAR(tags.loudness->integratedLufs, reference->integrated, 0.1);
  EXPECT_NEAR(tags.loudness->truePeakDbtp, reference->truePeak, 0.2);
}

// The cut is coded on a worker: the click returns at once with the button
// waiting, and the outcome comes back to the window.
TEST_F(TakeReviewPanelTest, TheCutRunsOffTheWindowThread) {
  panel_.ShowTake(overview_);
  Drag(0, 100);
  QTest::mouseClick(&Button("cmdTrim"), Qt::LeftButton);
  EXPECT_FALSE(Button("cmdTrim").isEnabled()) << "the cut ran on the window's thread";
  EXPECT_FALSE(TrimResult().isVisible());
  ASSERT_TRUE(WaitFor([&] { return TrimResult().isVisible(); }));
  EXPECT_TRUE(Button("cmdTrim").isEnabled());
  const QString cut = QString::fromStdString((dir_ / "录音1 (剪辑).wav").string());
  EXPECT_EQ(TrimResult().text(), TakeReviewPanel::tr("剪辑已保存: %1").arg(cut));
}

// A FIFO put where the take was is refused in the system's words, never opened.
TEST_F(TakeReviewPanelTest, PlayAndCutRefuseAFifoInPlaceOfTheTake) {
  panel_.ShowTake(overview_);
  std::filesystem::remove(take_);
  const WaitingFifo fifo(take_);
  QTest::mouseClick(&Button("cmdPlay"), Qt::LeftButton);
  EXPECT_TRUE(TrimResult().text().contains("not a regular file")) << TrimResult().text().toStdString();
  Cut();
  EXPECT_TRUE(TrimResult().text().contains("not a regular file")) << TrimResult().text().toStdString();
}

TEST_F(TakeReviewPanelTest, ClickAwayFromTheHandlesSeeksAndMarkersAreKept) {
  panel_.ShowTake(overview_);
  QSignalSpy seek(&Strip(), &TakeOverviewStrip::SeekRequested);
  QTest::mouseClick(&Strip(), Qt::LeftButton, {}, QPoint(200, 10));
  ASSERT_EQ(seek.count(), 1);
  EXPECT_EQ(seek.at(0).at(0).value<int64_t>(), Strip().XToFrame(200));
  EXPECT_EQ(Strip().KeptFirst(), 0);
  panel_.Markers({100, 20000});
  EXPECT_EQ(Strip().Markers(), (std::vector<int64_t>{100, 20000}));
  EXPECT_EQ(TakeReviewPanel::TimeText(44100 * 61, 44100 * 125, 44100), "1:01 / 2:05");
}

// The tags dialog gives back what it shows or the user typed; the start only for a finished take.
TEST(TakeTagsDialogTest, FieldsRoundTripAndOnlyATakeHasAStart) {
  frmTakeTags dialog;
  dialog.LoadNext({.title = "访谈", .software = "", .comment = "第一天"});
  EXPECT_EQ(dialog.Texts(), (TakeTexts{.title = "访谈", .software = "", .comment = "第一天"}));
  EXPECT_FALSE(dialog.findChild<QDateTimeEdit*>("dtpStart")->isEnabled());
  const std::chrono::system_clock::time_point start{std::chrono::seconds{1796673278}};
  dialog.LoadTake("录音1.wav", {.title = "第二乐章", .start = start, .software = "Tamblin 3"});
  EXPECT_EQ(dialog.Texts(), (TakeTexts{.title = "第二乐章", .software = "Tamblin 3", .comment = ""}));
  EXPECT_EQ(dialog.Start(), start);
  EXPECT_TRUE(dialog.findChild<QDateTimeEdit*>("dtpStart")->isEnabled());
  QTest::keyClicks(dialog.findChild<QLineEdit*>("txtComment"), "  take 2 ");
  EXPECT_EQ(dialog.Texts().comment, "take 2");
}

// "标签…" asks for the take's own file; the re-tag runs on a worker thread
// while the button waits, keeps the markers, and a failure (never through a
// link) reaches a message box in the system's words.
TEST_F(TakeReviewPanelTest, TagsButtonRetagsTheTakeOffTheWindowThread) {
  ASSERT_TRUE(TakeMetadataWriter::Write(take_, EncoderSelection::TYPE_WAV, 44100, {.markers = {{10, "前"}}}).ok());
  RecordingMessages messages;
  QWidget window;
  TakeTagsKeeper keeper(messages, window);
  keeper.BusyChanged = [this](bool busy) { panel_.TagsBusy(busy); };
  panel_.TagsRequested = [&](const std::string& path, int32_t rate) {
    ASSERT_EQ(rate, 44100);
    ASSERT_TRUE(keeper.Retag(path, rate, {.title = "第二乐章"}));
    EXPECT_FALSE(keeper.Retag(path, rate, {})) << "one at a time";
  };
  panel_.ShowTake(overview_);
  QTest::mouseClick(&Button("cmdTakeTags"), Qt::LeftButton);
  EXPECT_FALSE(Button("cmdTakeTags").isEnabled()) << "waits while the file is written";
  ASSERT_TRUE(WaitFor([&] { return !keeper.Busy(); }));
  EXPECT_TRUE(Button("cmdTakeTags").isEnabled());
  EXPECT_TRUE(messages.shown.empty());
  TakeMetadata read;
  ASSERT_EQ(WavMetadataReader::Read(take_, read), "");
  EXPECT_EQ(read.title, "第二乐章");
  EXPECT_EQ(read.markers.size(), 1u);

  const std::string link = (dir_ / "link.wav").string();
  std::filesystem::create_symlink(take_, link);
  ASSERT_TRUE(keeper.Retag(link, 44100, {.title = "x"}));
  ASSERT_TRUE(WaitFor([&] { return !keeper.Busy(); }));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text.rfind(TakeTagsKeeper::FailureText(link).toStdString(), 0), 0u);
  EXPECT_NE(messages.shown[0].text.find(std::strerror(ELOOP)), std::string::npos) << messages.shown[0].text;
  panel_.RecordingStarted();
  EXPECT_FALSE(Button("cmdTakeTags").isEnabled());
}

}  // namespace
