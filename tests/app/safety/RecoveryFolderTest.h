// RecoveryFolderTest: a fixture with a temporary program folder, its output
// folder and its recording journal, for the journal and recovery suites.
#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>

#include "app/recording/RecordingJournal.h"

class RecoveryFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    std::filesystem::create_directories(Output());
  }
  std::filesystem::path Dir() const { return folder_.path().toStdString(); }
  std::filesystem::path Output() const { return Dir() / "file"; }
  std::filesystem::path JournalPath() const { return Dir() / "recording.journal"; }
  RecordingJournal Journal() const {
    return RecordingJournal(QString::fromStdString(JournalPath().string()), QString::fromStdString(Output().string()));
  }

 private:
  QTemporaryDir folder_;
};
