// Editing a take's tags: the dialog shows what it is given and gives back what
// the user typed, the start only for a finished take; the review panel's
// "标签…" re-tags the take's file on a worker thread (the button waits
// meanwhile), keeping its markers, and a failure reaches a message box in the
// system's words.
#include <gtest/gtest.h>

#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <filesystem>

#include "app/recording/TakeOverview.h"
#include "app/windows/TakeReviewPanel.h"
#include "app/windows/TakeTagsKeeper.h"
#include "app/windows/frmTakeTags.h"
#include "encoding/EncoderWAV.h"
#include "tagging/TakeMetadataWriter.h"
#include "tests/app/review/SilentOutput.h"
#include "tagging/WavMetadataReader.h"
#include "tests/app/main/TestDoubles.h"

namespace {

constexpr int32_t kRate = 44100;
const std::chrono::system_clock::time_point kStart{std::chrono::seconds{1796673278}};

template <typename T>
T& Child(QWidget& parent, const char* name) {
  auto* child = parent.findChild<T*>(name);
  EXPECT_NE(child, nullptr) << name;
  return *child;
}

TEST(TakeTagsDialogTest, FieldsRoundTripAndTheStartIsOnlyATakesOwn) {
  frmTakeTags dialog;
  dialog.LoadNext({.title = "访谈", .software = "", .comment = "第一天"});
  dialog.show();
  EXPECT_EQ(dialog.Texts(), (TakeTexts{.title = "访谈", .software = "", .comment = "第一天"}));
  EXPECT_FALSE(Child<QDateTimeEdit>(dialog, "dtpStart").isEnabled());
  EXPECT_TRUE(Child<QLabel>(dialog, "lblStartHint").isVisible());

  dialog.LoadTake("录音1.wav", {.title = "第二乐章", .start = kStart, .software = "Tamblin 3", .comment = ""});
  EXPECT_EQ(dialog.Texts(), (TakeTexts{.title = "第二乐章", .software = "Tamblin 3", .comment = ""}));
  EXPECT_EQ(dialog.Start(), kStart);
  EXPECT_TRUE(Child<QDateTimeEdit>(dialog, "dtpStart").isEnabled());
  EXPECT_FALSE(Child<QLabel>(dialog, "lblStartHint").isVisible());

  // Typed texts come back without the spaces around them.
  auto& comment = Child<QLineEdit>(dialog, "txtComment");
  comment.setFocus();
  QTest::keyClicks(&comment, "  take 2 ");
  EXPECT_EQ(dialog.Texts().comment, "take 2");
}

class TakeTagsKeeperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    take_ = (dir_ / "录音1.wav").string();
    std::vector<int16_t> samples(2 * kRate, 100);
    EncoderWAV wav;
    ASSERT_EQ(wav.EncoderInit(kRate, 2, take_), ENC_OK);
    int32_t used = 0;
    ASSERT_EQ(wav.Encode(samples.data(), static_cast<int32_t>(samples.size() * 2), used), ENC_OK);
    ASSERT_EQ(wav.EncoderClose(), ENC_OK);
    ASSERT_TRUE(TakeMetadataWriter::Write(take_, EncoderSelection::TYPE_WAV, kRate,
                                          {.markers = {{kRate / 2, "中"}}, .start = kStart})
                    .ok());
    overview_.Begin(take_, kRate, 2);
    overview_.Add(samples);
    keeper_.BusyChanged = [this](bool busy) { panel_.TagsBusy(busy); };
    panel_.ShowTake(overview_);
  }

  void RetagAndWait(const std::string& path, const TakeMetadata& texts) {
    ASSERT_TRUE(keeper_.Retag(path, kRate, texts));
    EXPECT_FALSE(Child<QPushButton>(panel_, "cmdTakeTags").isEnabled()) << "waits while the file is written";
    EXPECT_FALSE(keeper_.Retag(path, kRate, texts)) << "one at a time";
    ASSERT_TRUE(WaitFor([&] { return !keeper_.Busy(); }));
    EXPECT_TRUE(Child<QPushButton>(panel_, "cmdTakeTags").isEnabled());
  }

  QTemporaryDir tempDir_;
  std::filesystem::path dir_{tempDir_.path().toStdString()};
  std::string take_;
  TakeOverview overview_;
  QWidget window_;
  RecordingMessages messages_;
  TakeTagsKeeper keeper_{messages_, window_};
  TakeReviewPanel panel_{std::make_unique<SilentOutput>()};
};

TEST_F(TakeTagsKeeperTest, TheReviewButtonAsksForTheTakesOwnFile) {
  std::string asked;
  panel_.TagsRequested = [&](const std::string& path, int32_t rate) { asked = path + "@" + std::to_string(rate); };
  Child<QPushButton>(panel_, "cmdTakeTags").click();
  EXPECT_EQ(asked, take_ + "@44100");
  panel_.RecordingStarted();
  EXPECT_FALSE(Child<QPushButton>(panel_, "cmdTakeTags").isEnabled());
}

TEST_F(TakeTagsKeeperTest, RetagsOffTheWindowThreadKeepingTheMarkers) {
  RetagAndWait(take_, {.title = "第二乐章", .start = kStart, .comment = "正式"});
  EXPECT_TRUE(messages_.shown.empty()) << messages_.shown.front().text;
  TakeMetadata read;
  ASSERT_EQ(WavMetadataReader::Read(take_, read), "");
  EXPECT_EQ(read.title, "第二乐章");
  EXPECT_EQ(read.comment, "正式");
  ASSERT_EQ(read.markers.size(), 1u);
  EXPECT_EQ(read.markers[0].frame, kRate / 2);
  EXPECT_EQ(read.markers[0].name, "中");
}

TEST_F(TakeTagsKeeperTest, AFailureIsToldWithTheSystemsWords) {
  const std::string link = (dir_ / "link.wav").string();
  std::filesystem::create_symlink(take_, link);
  RetagAndWait(link, {.title = "x"});
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].title, "Tamblin");
  EXPECT_EQ(messages_.shown[0].text.rfind(TakeTagsKeeper::FailureText(link).toStdString(), 0), 0u);
  EXPECT_NE(messages_.shown[0].text.find("open: " + std::string(std::strerror(ELOOP))), std::string::npos)
      << messages_.shown[0].text;
}

TEST_F(TakeTagsKeeperTest, NextTextsAreHandedOnOnlyWhenChanged) {
  std::vector<TakeTexts> handed;
  keeper_.NextTextsChanged = [&](const TakeTexts& texts) { handed.push_back(texts); };
  keeper_.ApplyNext({.title = "访谈"});
  keeper_.ApplyNext({.title = "访谈"});
  keeper_.ApplyNext({});
  EXPECT_EQ(handed, (std::vector<TakeTexts>{{.title = "访谈"}, {}}));
  EXPECT_EQ(keeper_.Next(), TakeTexts{});
}

}  // namespace
