// Test doubles shared by the controller and window suites: a message box service
// that records instead of showing, scripted yes/no answers, a scriptable capture engine and encoder, a
// plain view, a temporary program folder, an event-loop wait, a save dialog and a
// format chooser that answer from a script, and whole-file reads and writes.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <string>
#include <vector>

#include "app/recording/CaptureEngine.h"
#include "app/windows/OutputFileDialog.h"
#include "app/platform/ProgramFolder.h"
#include "app/recording/RecorderView.h"
#include "app/recording/RecordingMonitor.h"
#include "app/windows/RecorderButtons.h"
#include "app/windows/SettingChooser.h"
#include "app/recording/RecordingController.h"
#include "common/MessageBoxService.h"
#include "common/QuestionService.h"
#include "effects/clsDSP.h"
#include "encoding/Encoder.h"
#include "encoding/FormatChooser.h"
#include "tests/support/EventLoopWait.h"

// The bytes of one of our 16-bit WAV files up to the end of its audio (the
// 46-byte header and the data chunk), leaving out the tags the stop appends.
inline qint64 WaveAudioEnd(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() < 46) return file.size();
  const QByteArray header = file.read(46);
  const auto size = static_cast<quint32>(static_cast<uchar>(header[42])) |
                    static_cast<quint32>(static_cast<uchar>(header[43])) << 8 |
                    static_cast<quint32>(static_cast<uchar>(header[44])) << 16 |
                    static_cast<quint32>(static_cast<uchar>(header[45])) << 24;
  return 46 + static_cast<qint64>(size);
}

struct ShownMessage {
  std::string title;
  std::string text;
};

class RecordingMessages : public MessageBoxService {
 public:
  void ShowWarning(const std::string& title, const std::string& text) override {
    shown.push_back({title, text});
    if (onShow) onShow();
  }
  std::vector<ShownMessage> shown;
  std::function<void()> onShow;  // runs while the "box" is up
};

// Answers yes/no questions from a script and records them.
class ScriptedQuestions : public QuestionService {
 public:
  bool AskYesNo(const std::string& title, const std::string& text) override {
    asked.push_back({title, text});
    return answer;
  }
  bool answer = false;
  std::vector<ShownMessage> asked;
};

class FakeCapture : public CaptureEngine {
 public:
  bool IsRecording() const override { return recording; }
  bool StartRecord(int32_t samplerate, int16_t Channels) override {
    startedRate = samplerate;
    startedChannels = Channels;
    recording = startResult;
    return startResult;
  }
  bool OpenInput(int32_t, int16_t) override { return held = startResult; }
  void CloseInput() override { held = false; }
  bool InputHeld() const override { return held; }
  std::string StartFailure() const override { return startFailure; }
  bool StopRecord(int64_t upTo) override {
    stoppedUpTo = upTo;
    return StopRecord();
  }
  bool StopRecord() override {
    ++stops;
    if (onStop) onStop();  // the rest of the recording, delivered while still recording
    recording = false;
    return stopResult;
  }
  void DeliverReceived() override {
    ++deliverCalls;
    if (onDeliverReceived) onDeliverReceived();  // what had arrived, delivered before it returns
  }
  void DeliverReceived(int64_t mark) override {
    deliveredUpTo = mark;
    DeliverReceived();
  }
  int64_t MarkReceived() override { return recording ? ++marks : 0; }
  int64_t LostInputCount() const override { return lostInputs; }
  int64_t LostToQueueCount() const override { return lostToQueue; }
  int64_t lostInputs = 0;
  int64_t lostToQueue = 0;
  int64_t marks = 0;
  int64_t stoppedUpTo = -1;
  int64_t deliveredUpTo = -1;
  int deliverCalls = 0;
  std::function<void()> onDeliverReceived;
  bool recording = false;
  bool held = false;
  bool startResult = true;
  std::string startFailure;
  bool stopResult = true;
  int32_t startedRate = 0;
  int16_t startedChannels = 0;
  int stops = 0;
  std::function<void()> onStop;
};

class FakeEncoder : public Encoder {
 public:
  std::string Description() const override { return "Wave ACM Encoder"; }
  std::string Extension() const override { return extension; }
  EncoderResult EncoderClose() override {
    ++closes;
    open = false;
    return ENC_OK;
  }
  EncoderResult Encode(const void* buffer_ptr, int32_t buffer_len, int32_t& buffer_used) override {
    const auto* samples = static_cast<const int16_t*>(buffer_ptr);
    encoded.emplace_back(samples, samples + buffer_len / 2);
    buffer_used = buffer_len;
    return encodeResult;
  }
  EncoderResult Checkpoint() override {
    ++checkpoints;
    return open ? ENC_OK : ENC_FILE_ERROR;
  }
  int32_t EncoderMetrics(int32_t) override { return open ? 0 : -1; }
  EncoderResult EncoderInit(int32_t samplerate, int16_t Channels, const std::string& output) override {
    initRate = samplerate;
    initChannels = Channels;
    initOutput = output;
    open = initResult == ENC_OK;
    return initResult;
  }
  void OutputRules(TargetRules value) override { rules = value; }
  EncoderResult EncoderDiscard() override {
    ++discards;
    open = false;
    return ENC_OK;
  }
  TargetRules rules;
  std::string extension = "wav";
  int discards = 0;
  int checkpoints = 0;
  std::string InitError() const override { return initError; }
  int64_t FileBytes() const override { return open ? fileBytes : -1; }
  int64_t fileBytes = -1;  // FileBytes' answer while open
  EncoderResult initResult = ENC_OK;
  std::string initError;  // InitError's answer
  EncoderResult encodeResult = ENC_OK;
  bool open = false;
  int closes = 0;
  int32_t initRate = 0;
  int16_t initChannels = 0;
  std::string initOutput;
  std::vector<std::vector<int16_t>> encoded;
};

class FakeView : public RecorderView {
 public:
  std::string OutputFile() const override { return outputFile; }
  void OutputFile(const std::string& path) override { outputFile = path; }
  std::optional<RecordingFormat> Format() const override { return format; }
  bool DeviceChosen() const override { return deviceChosen; }

  std::string outputFile;
  std::optional<RecordingFormat> format = RecordingFormat{.rate = 44100, .channels = 2};
  bool deviceChosen = true;
};


// Points ProgramFolder at a fresh temporary folder for the test's lifetime.
class TempProgramFolder {
 public:
  TempProgramFolder() { ProgramFolder::Override(dir_.path()); }
  ~TempProgramFolder() { ProgramFolder::Override(QString()); }
  QString Path() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
};

// A recording controller wired to the fakes above and an `EncoderType` (a real
// one writes real files), in a temporary program folder that already has its
// output folder.
template <typename EncoderType>
struct ControllerRigWith {
  ControllerRigWith() {
    QDir(folder.Path()).mkpath("file");
    controller.Monitor(&monitor);
  }
  // The buttons as the window shows the recorder's state.
  RecorderButtons Buttons() const { return RecorderButtons::For(monitor.State()); }

  TempProgramFolder folder;
  FakeCapture capture;
  EncoderType encoder;
  clsDSP effects;
  FakeView view;
  RecordingMessages messages;
  RecordingMonitor monitor;
  RecordingController controller{capture, encoder, effects, view, messages};
};
using ControllerRig = ControllerRigWith<FakeEncoder>;

class StubFileDialog : public OutputFileDialog {
 public:
  std::string AskFileName(const std::string& filter) override {
    filters.push_back(filter);
    return answer;
  }
  std::string answer;
  std::vector<std::string> filters;
};

// Records each request; answers with `answer` (nullopt: cancelled).
// A compressed type's setting chooser: records each request; answers with `answer` (nullopt: cancelled).
class ScriptedSettingChooser : public SettingChooser {
 public:
  std::optional<int32_t> Choose(const std::vector<EncoderSetting>& choices, int32_t current,
                                const std::string& Title) override {
    offered = choices;
    currents.push_back(current);
    titles.push_back(Title);
    if (whileOpen) whileOpen();
    return answer;
  }
  std::optional<int32_t> answer;
  std::function<void()> whileOpen;  // runs while the "dialog" is up
  std::vector<EncoderSetting> offered;
  std::vector<int32_t> currents;
  std::vector<std::string> titles;
};

class ScriptedChooser : public FormatChooser {
 public:
  std::optional<FormatEntry> Choose(const WAVEFORMATEX& pcmInput, const std::string& Title) override {
    requests.push_back(pcmInput);
    titles.push_back(Title);
    return answer;
  }
  std::optional<FormatEntry> answer;
  std::vector<WAVEFORMATEX> requests;
  std::vector<std::string> titles;
};

inline QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  file.write(bytes);
}
