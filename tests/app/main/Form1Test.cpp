// Form1 on the offscreen platform: start-up state, the rate key filter, effect
// bits, the output file rule, the format choice of the rate and stereo boxes,
// idle status texts, and one whole recording from a fed pipe source.
#include "app/windows/Form1.h"
#include "app/recording/RecordingEngine.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QImage>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <cstring>
#include <random>
#include <unistd.h>

#include "TestDoubles.h"
#include "app/windows/OutputFileDialog.h"
#include "app/recording/RecordingController.h"
#include "app/windows/TrayIcon.h"
#include "capture/WaveInRecorder.h"
#include "encoding/EncoderWAV.h"
#include "tests/support/PipeSourceFeeder.h"
#include "tests/support/PrivatePulseDaemon.h"
#include "tests/support/ShellCommand.h"

namespace {

class Form1Test : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsurePulseServer());
    form = std::make_unique<Form1>(Form1::Services{&messages, &fileDialog, &chooser, false, &questions});
    form->Load();
  }
  void TearDown() override { form.reset(); }

  template <typename T>
  T* Find(const char* name) const {
    T* widget = form->findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QString Numbered(int n) const { return folder.Path() + "/file/录音" + QString::number(n) + ".wav"; }

  // The device list is read at start-up: loads the window again, then picks
  // `feeder`'s source as the user would. False when it is not listed.
  bool LoadWithSource(const PipeSourceFeeder& feeder, bool trayIcon) {
    form.reset();
    form = std::make_unique<Form1>(Form1::Services{&messages, &fileDialog, &chooser, trayIcon, &questions});
    form->Load();
    auto* device = Find<QComboBox>("cboDev");
    const int index = device->findText(QString::fromStdString(feeder.Description()));
    if (index < 0) return false;
    device->setCurrentIndex(index);
    emit device->activated(index);
    return true;
  }

  TempProgramFolder folder;
  RecordingMessages messages;
  ScriptedQuestions questions;
  StubFileDialog fileDialog;
  ScriptedChooser chooser;
  std::unique_ptr<Form1> form;
};

TEST_F(Form1Test, StartsIdleWithDesignValues) {
  EXPECT_EQ(form->windowTitle(), "TamblinV3.3");
  EXPECT_EQ(form->windowIcon().availableSizes().size(), 6);
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(Find<QPushButton>("cmdDo")->text(), "开始录音");
  const std::vector<std::pair<const char*, const char*>> captions = {
      {"cmdBrowse", "..."}, {"cmdSelFmt", "..."},        {"Command3", "打开文件夹"}, {"cmdFXOpts", "设置"},
      {"Command2", "帮助"}, {"Command1", "关于"}, {"Command4", "最小化至系统托盘"}};
  for (const auto& [name, caption] : captions) EXPECT_EQ(Find<QPushButton>(name)->text(), caption) << name;
  const char* const effects[] = {"回声", "周相移动", "放大器", "均衡器"};
  for (int k = 0; k < 4; ++k) {
    auto* box = Find<QCheckBox>(QString("chkFX%1").arg(k).toUtf8().constData());
    EXPECT_EQ(box->text(), effects[k]);
    EXPECT_FALSE(box->isChecked());
  }
  EXPECT_EQ(form->Effects().EffectsUsed(), 0);
  EXPECT_EQ(form->Effects().samplerate(), 44100);
  EXPECT_EQ(form->Effects().Channels(), 2);

  auto* rate = Find<QComboBox>("cboSamplerate");
  EXPECT_TRUE(rate->isEditable());
  ASSERT_EQ(rate->count(), 4);
  EXPECT_EQ(rate->itemText(0), "44100");
  EXPECT_EQ(rate->itemText(3), "8000");
  EXPECT_EQ(rate->currentText(), "44100");
  EXPECT_TRUE(Find<QCheckBox>("chkStereo")->isChecked());
  EXPECT_TRUE(chooser.requests.empty()) << "ticking stereo during start-up opens nothing";

  EXPECT_EQ(Find<QComboBox>("cboDev")->currentIndex(), -1);
  EXPECT_EQ(Find<QComboBox>("cboRecLine")->count(), 0);
  auto* volume = Find<QSlider>("sldVol");
  EXPECT_EQ(volume->minimum(), 0);
  EXPECT_EQ(volume->maximum(), 65535);
  EXPECT_EQ(volume->singleStep(), 1);
  EXPECT_EQ(volume->pageStep(), 2000);
  EXPECT_EQ(volume->value(), 0);
  EXPECT_EQ(Find<QLabel>("lblVolPer")->text(), "100%");

  EXPECT_EQ(Find<QLineEdit>("txtFile")->text(), Numbered(0));
  EXPECT_FALSE(QFileInfo::exists(Numbered(0))) << "reserved by its number, made only by a recording";
  EXPECT_EQ(Find<QLineEdit>("txtWAVFmt")->text(), "PCM - 44.1 kHz 16 Bit Stereo");
  auto* timer = Find<QTimer>("tmrVis");
  EXPECT_EQ(timer->interval(), 25);
  EXPECT_TRUE(timer->isActive());
  EXPECT_TRUE(Find<QWidget>("frmInp")->isEnabled());
  EXPECT_TRUE(Find<QWidget>("frmOut")->isEnabled());
  for (const char* picture : {"picVUL", "picVUR", "picAmpl", "picFreq", "sbar", "picOutXP", "frmEffects"}) {
    Find<QWidget>(picture);
  }
}

TEST_F(Form1Test, IdleTicksWriteTheIdleStatusTexts) {
  auto* size = Find<QLabel>("sbarPanel1");
  auto* length = Find<QLabel>("sbarPanel2");
  // The design text until the first tick, which a slow start-up may already have had.
  EXPECT_TRUE(size->text() == "文件大小: 0 字节" || size->text() == "文件大小: 0 Bytes") << size->text().toStdString();
  EXPECT_TRUE(WaitFor([&] { return size->text() == "文件大小: 0 Bytes"; }));
  EXPECT_EQ(length->text(), "长度: 0:00");
}

TEST_F(Form1Test, RateBoxTakesAtMostFiveDigitsAndBackspace) {
  auto* rate = Find<QComboBox>("cboSamplerate");
  QLineEdit* edit = rate->lineEdit();
  edit->setFocus();
  edit->end(false);
  QTest::keyClicks(edit, "1a");
  EXPECT_EQ(rate->currentText(), "44100");
  edit->selectAll();
  QTest::keyClicks(edit, "2");
  EXPECT_EQ(rate->currentText(), "44100") << "five characters refuse digits even over a selection";
  edit->end(false);
  QTest::keyClick(edit, Qt::Key_Backspace);
  EXPECT_EQ(rate->currentText(), "4410");
  QTest::keyClicks(edit, "x-7.9");
  EXPECT_EQ(rate->currentText(), "44107");
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClicks(edit, "08000");
  EXPECT_EQ(rate->currentText(), "08000");
  EXPECT_TRUE(chooser.requests.empty()) << "typing only changes the text";
  EXPECT_EQ(form->Effects().samplerate(), 44100);
}

TEST_F(Form1Test, RateBoxKeepsDeleteAndRefusesRatesTheChainCannotTake) {
  auto* rate = Find<QComboBox>("cboSamplerate");
  QLineEdit* edit = rate->lineEdit();
  edit->setFocus();
  edit->home(false);
  // As X11 and Wayland deliver it: the key with the text "\x7f".
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7f)));
  QCoreApplication::sendEvent(edit, &press);
  EXPECT_EQ(rate->currentText(), "4100") << "Delete keeps its editing role";

  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClicks(edit, "96001");
  QTest::mouseClick(Find<QPushButton>("cmdSelFmt"), Qt::LeftButton);
  EXPECT_TRUE(chooser.requests.empty()) << "no formats are listed for a rate nothing can record";
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, RecordingController::BadRateMessage());
}

TEST_F(Form1Test, EffectBoxesSetAndClearTheirOwnBits) {
  auto click = [&](int k) { QTest::mouseClick(Find<QCheckBox>(QString("chkFX%1").arg(k).toUtf8().constData()), Qt::LeftButton); };
  click(2);
  EXPECT_EQ(form->Effects().EffectsUsed(), FX_AMPLIFY);
  click(0);
  click(3);
  EXPECT_EQ(form->Effects().EffectsUsed(), FX_AMPLIFY | FX_ECHO | FX_EQUALIZER);
  click(2);
  EXPECT_EQ(form->Effects().EffectsUsed(), FX_ECHO | FX_EQUALIZER);
  click(1);
  EXPECT_EQ(form->Effects().EffectsUsed(), FX_ECHO | FX_EQUALIZER | FX_PHASESHIFT);
}

TEST_F(Form1Test, BrowsedFileAlwaysEndsInWav) {
  auto* file = Find<QLineEdit>("txtFile");
  auto* browse = Find<QPushButton>("cmdBrowse");
  fileDialog.answer = "";
  QTest::mouseClick(browse, Qt::LeftButton);
  EXPECT_EQ(file->text(), Numbered(0)) << "cancelled: nothing changes";
  ASSERT_EQ(fileDialog.filters.size(), 1u);
  EXPECT_EQ(fileDialog.filters[0], "Wave ACM Encoder (*.wav)|*.wav");

  const std::vector<std::pair<std::string, QString>> cases = {
      {"/tmp/take one", "/tmp/take one.wav"},
      {"/tmp/LOUD.WAV", "/tmp/LOUD.WAV"},
      {"/tmp/录音.wav", "/tmp/录音.wav"},
      {"/tmp/song.mp3", "/tmp/song.mp3.wav"},
      {"/tmp/wav", "/tmp/wav.wav"},
  };
  for (const auto& [answer, expected] : cases) {
    fileDialog.answer = answer;
    QTest::mouseClick(browse, Qt::LeftButton);
    EXPECT_EQ(file->text(), expected) << answer;
  }
}

TEST_F(Form1Test, BrowsedFileIsAskedAboutWithItsSuffixBeforeReplacing) {
  auto* file = Find<QLineEdit>("txtFile");
  auto* browse = Find<QPushButton>("cmdBrowse");
  const QString take = folder.Path() + "/take";
  QFile existing(take + ".wav");
  ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
  existing.write("an earlier take");
  existing.close();

  fileDialog.answer = take.toStdString();
  questions.answer = false;
  QTest::mouseClick(browse, Qt::LeftButton);
  ASSERT_EQ(questions.asked.size(), 1u);
  EXPECT_EQ(questions.asked[0].text, RecordingController::ReplaceQuestion((take + ".wav").toStdString()));
  EXPECT_EQ(file->text(), Numbered(0)) << "kept: nothing changes";

  questions.answer = true;
  QTest::mouseClick(browse, Qt::LeftButton);
  EXPECT_EQ(file->text(), take + ".wav");
  EXPECT_EQ(questions.asked.size(), 2u);

  // Only the name typed exists, not the file to be written: nothing to ask.
  QFile::remove(take + ".wav");
  QFile typed(take);
  ASSERT_TRUE(typed.open(QIODevice::WriteOnly));
  typed.close();
  QTest::mouseClick(browse, Qt::LeftButton);
  EXPECT_EQ(questions.asked.size(), 2u);
  EXPECT_EQ(file->text(), take + ".wav");
}

TEST_F(Form1Test, RateAndStereoChoicesAskForAFormatThenUpdateTheChain) {
  auto* rate = Find<QComboBox>("cboSamplerate");
  auto* format = Find<QLineEdit>("txtWAVFmt");
  chooser.answer = std::nullopt;  // the user cancels
  rate->setCurrentIndex(1);
  emit rate->activated(1);
  ASSERT_EQ(chooser.requests.size(), 1u);
  EXPECT_EQ(uint32_t{chooser.requests[0].nSamplesPerSec}, 22050u);  // a copy: the record is packed
  EXPECT_EQ(chooser.requests[0].nChannels, 2);
  EXPECT_EQ(chooser.titles[0], "选择声音输出格式");
  EXPECT_EQ(format->text(), "PCM - 44.1 kHz 16 Bit Stereo") << "cancel keeps the format";
  EXPECT_EQ(form->Effects().samplerate(), 22050);

  FormatEntry mono;
  mono.format = EncoderWAV::MakePCMFormat(22050, 1, 16).ToBytes();
  mono.FormatTag = "PCM";
  mono.FormatID = "22.05 kHz 16 Bit Mono";
  chooser.answer = mono;
  QTest::mouseClick(Find<QCheckBox>("chkStereo"), Qt::LeftButton);
  ASSERT_EQ(chooser.requests.size(), 2u);
  EXPECT_EQ(uint32_t{chooser.requests[1].nSamplesPerSec}, 22050u);
  EXPECT_EQ(chooser.requests[1].nChannels, 1);
  EXPECT_EQ(format->text(), "PCM - 22.05 kHz 16 Bit Mono");
  EXPECT_EQ(form->Effects().Channels(), 1);
}

// Refused with where to choose one: the message says, and the focus is there.
TEST_F(Form1Test, StartWithoutDeviceIsRefusedAndPointsAtTheDeviceBox) {
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  QTest::mouseClick(Find<QPushButton>("cmdDo"), Qt::LeftButton);
  form->Engine().WaitUntilHandled();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, "提示");
  EXPECT_EQ(messages.shown[0].text, "没有选择硬件设备!\n请在上方\"设备\"框中选择录音设备.");
  EXPECT_EQ(QApplication::focusWidget(), Find<QComboBox>("cboDev"));
  EXPECT_EQ(Find<QPushButton>("cmdDo")->text(), "开始录音");
}

// A device the server could not select (it was hung) is not shown, and a start
// afterwards is refused: the default input never takes its place.
TEST_F(Form1Test, DeviceTheServerRefusedIsNotShownAndNotReplacedByTheDefault) {
  PrivatePulseDaemon daemon;
  ASSERT_TRUE(daemon.Running()) << daemon.Log();
  PipeSourceFeeder fallback(PipeSourceFeeder::UniqueName("default"), 44100, 2, "Pipe-Default");
  PipeSourceFeeder shown(PipeSourceFeeder::UniqueName("shown"), 44100, 2, "Pipe-Shown");
  ASSERT_TRUE(fallback.Loaded() && shown.Loaded());
  ASSERT_EQ(RunShellCommand("pactl set-default-source " + fallback.SourceName()).exitCode, 0);
  form.reset();  // the device list is read at start-up
  form = std::make_unique<Form1>(Form1::Services{&messages, &fileDialog, &chooser, false, &questions});
  form->Load();
  auto* device = Find<QComboBox>("cboDev");
  const int index = device->findText(QString::fromStdString(shown.Description()));
  ASSERT_GE(index, 0);

  daemon.Freeze();
  device->setCurrentIndex(index);
  emit device->activated(index);
  daemon.Thaw();
  ASSERT_EQ(messages.shown.size(), 1u) << "the failed choice is told";
  EXPECT_EQ(device->currentIndex(), -1) << "a device is shown that is not selected";
  ASSERT_TRUE(WaitFor([&] { return form->Recorder().DeviceCount() > 0; })) << "the server answers again";

  QTest::mouseClick(Find<QPushButton>("cmdDo"), Qt::LeftButton);
  form->Engine().WaitUntilHandled();
  EXPECT_FALSE(form->Controller().IsRecording()) << "recording an input that is not shown";
  EXPECT_EQ(messages.shown.back().text.rfind("没有选择硬件设备!\n", 0), 0u);
  form.reset();  // before its server goes
}

// The rate box by every way text comes in: keys, an input method, the clipboard.
class Form1RateBoxTest : public Form1Test {
 protected:
  void SetUp() override {
    Form1Test::SetUp();
    rate = Find<QComboBox>("cboSamplerate");
    edit = rate->lineEdit();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get(), 5000));
    edit->setFocus();
    ASSERT_TRUE(edit->hasFocus());
    Clear();
  }
  void Clear() {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    ASSERT_EQ(Text(), "");
  }
  void Commit(const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QCoreApplication::sendEvent(edit, &event);
  }
  std::string Text() const { return rate->currentText().toStdString(); }
  QComboBox* rate = nullptr;
  QLineEdit* edit = nullptr;
};

TEST_F(Form1RateBoxTest, TypedRatesStayAsTypedNotCompletedToListedOnes) {
  for (const char* typed : {"48000", "16000", "12000", "8000", "1"}) {
    Clear();
    QTest::keyClicks(edit, typed);
    EXPECT_EQ(Text(), typed);
  }
  Clear();
  QTest::keyClicks(edit, "1000");
  QTest::keyClick(edit, Qt::Key_Left);
  QTest::keyClick(edit, Qt::Key_Left);
  QTest::keyClicks(edit, "5");
  EXPECT_EQ(Text(), "10500") << "arrows move the cursor";
  EXPECT_TRUE(chooser.requests.empty());
}

TEST_F(Form1RateBoxTest, InputMethodCommitsAndPastesTakeOnlyUpToFiveDigits) {
  Commit("四八千abc123");
  EXPECT_EQ(Text(), "");
  Commit("１６０００");  // full-width digits are not the digits a rate is parsed from
  EXPECT_EQ(Text(), "");
  Commit("160");
  EXPECT_EQ(Text(), "160");
  Commit("001");
  EXPECT_EQ(Text(), "160") << "six digits";

  Clear();
  QGuiApplication::clipboard()->setText("8千0a00");
  edit->paste();
  EXPECT_EQ(Text(), "");
  QGuiApplication::clipboard()->setText("123456");
  edit->paste();
  EXPECT_EQ(Text(), "");
  QGuiApplication::clipboard()->setText("22050");
  edit->paste();
  EXPECT_EQ(Text(), "22050");
}

TEST_F(Form1RateBoxTest, ClosingWhileTheBoxHoldsATypedListedRateChoosesNothing) {
  QTest::keyClicks(edit, "8000");
  ASSERT_TRUE(edit->hasFocus());
  form->close();  // the focus leaves the box after the shutdown
  EXPECT_TRUE(chooser.requests.empty());
  form.reset();
}

// Interleaved stereo test signal: cosines, so the very first sample is loud.
std::vector<int16_t> TestSignal(int frames) {
  std::vector<int16_t> samples(static_cast<size_t>(frames) * 2);
  for (int i = 0; i < frames; ++i) {
    samples[2 * i] = static_cast<int16_t>(std::lround(7000 * std::cos(2 * M_PI * 440 * i / 44100.0)));
    samples[2 * i + 1] = static_cast<int16_t>(std::lround(4000 * std::cos(2 * M_PI * 1250 * i / 44100.0)));
  }
  return samples;
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A 44.1 kHz 16-bit stereo WAVE file's samples as sox reads them (through the
// raw file `scratch`); empty when sox does not see that format.
std::vector<int16_t> SoxSamples(const QString& recorded, const QString& scratch) {
  for (const auto& [option, value] : {std::pair{"-r", "44100\n"}, {"-c", "2\n"}, {"-b", "16\n"}}) {
    const ShellResult info = RunShellCommand(std::string("soxi ") + option + " " + ShellQuote(recorded.toStdString()));
    EXPECT_EQ(info.exitCode, 0);
    EXPECT_EQ(info.output, value) << option;
    if (info.output != value) return {};
  }
  EXPECT_EQ(RunShellCommand("sox " + ShellQuote(recorded.toStdString()) + " -t raw -e signed-integer -b 16 -L " +
                            ShellQuote(scratch.toStdString()))
                .exitCode,
            0);
  const QByteArray bytes = ReadFile(scratch);
  std::vector<int16_t> file(static_cast<size_t>(bytes.size()) / 2);
  std::memcpy(file.data(), bytes.data(), file.size() * 2);
  return file;
}

TEST_F(Form1Test, WholeRecordingFromAPipeSourceThroughTheChosenEffects) {
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("form1"), 44100, 2, "Form1-Pipe-" + std::to_string(getpid()));
  ASSERT_TRUE(feeder.Loaded());
  ASSERT_TRUE(LoadWithSource(feeder, false)) << "pipe source not listed";
  EXPECT_GT(Find<QComboBox>("cboRecLine")->count(), 0);
  EXPECT_EQ(Find<QLabel>("lblVolPer")->text(), "100%");
  ASSERT_TRUE(messages.shown.empty()) << messages.shown[0].text;

  // Amplifier, echo and equalizer: none of them changes state on silence, so the
  // silence the source may deliver before the signal does not shift the result.
  clsDSP& dsp = form->Effects();
  dsp.AmplifyDB(4);
  dsp.EchoLength(40);
  dsp.EchoAmp(0.35f);
  dsp.EqualizerBandGainDB(1, 6.0f);
  for (int k : {0, 2, 3}) {
    QTest::mouseClick(Find<QCheckBox>(QString("chkFX%1").arg(k).toUtf8().constData()), Qt::LeftButton);
  }

  const auto delivered = [&] { return static_cast<size_t>(form->Recorder().DeliveredBytes()); };
  const auto picture = [&](const char* name) { return Find<QWidget>(name)->grab().toImage(); };
  const char* const atRest[] = {"picVUL", "picVUR", "picFreq"};
  std::vector<QImage> restLook;
  for (const char* name : atRest) restLook.push_back(picture(name));

  auto* start = Find<QPushButton>("cmdDo");
  QTest::mouseClick(start, Qt::LeftButton);
  form->Engine().WaitUntilHandled();
  ASSERT_TRUE(form->Controller().IsRecording()) << (messages.shown.empty() ? "" : messages.shown[0].text);
  EXPECT_EQ(start->text(), "停止录音");
  EXPECT_FALSE(Find<QWidget>("frmInp")->isEnabled());
  EXPECT_FALSE(Find<QWidget>("frmOut")->isEnabled());
  EXPECT_TRUE(Find<QWidget>("cboRecLine")->isEnabled());
  EXPECT_TRUE(Find<QWidget>("sldVol")->isEnabled());
  EXPECT_TRUE(Find<QWidget>("frmEffects")->isEnabled());

  const int frames = 44100 * 3 / 2;
  const std::vector<int16_t> signal = TestSignal(frames);
  std::vector<int16_t> fed = signal;
  fed.resize(signal.size() + 44100, 0);  // half a second of silence pushes the last block through
  feeder.Feed(fed, 2.0);
  // While the signal plays, the display shows it: level bars grown from the
  // left, a waveform trace that is more than the centre line.
  ASSERT_TRUE(WaitFor([&] { return delivered() >= signal.size() / 2; }));
  auto lit = [&](const char* name) {
    const QImage picture = Find<QWidget>(name)->grab().toImage();
    int count = 0;
    for (int y = 0; y < picture.height(); ++y) {
      for (int x = 0; x < picture.width(); ++x) count += (picture.pixel(x, y) & 0xffffff) != 0;
    }
    return std::pair{count, picture.width()};
  };
  EXPECT_TRUE(WaitFor([&] {
    const auto [wave, width] = lit("picAmpl");
    return wave > 2 * width && lit("picVUL").first > 0 && lit("picVUR").first > 0;
  }, 5000)) << "the display shows the signal";
  feeder.WaitFed();
  ASSERT_TRUE(WaitFor([&] { return delivered() >= (signal.size() + 4 * 5120) * 2; }))
      << "delivered " << delivered() << " bytes";
  EXPECT_TRUE(WaitFor([&] { return Find<QLabel>("sbarPanel2")->text() != "长度: 0:00"; }));
  // Over a second of 44.1 kHz stereo is in the file by now, and the size follows it.
  EXPECT_TRUE(WaitFor([&] { return Find<QLabel>("sbarPanel1")->text().endsWith(" KB"); }))
      << Find<QLabel>("sbarPanel1")->text().toStdString();
  QTest::mouseClick(start, Qt::LeftButton);
  form->Engine().WaitUntilHandled();
  EXPECT_FALSE(form->Controller().IsRecording());
  EXPECT_EQ(start->text(), "开始录音");
  EXPECT_TRUE(messages.shown.empty());
  // The bars and the spectrum stop showing a level the input no longer has.
  const auto rested = [&](size_t k) { return picture(atRest[k]) == restLook[k]; };
  WaitFor([&] { return rested(0) && rested(1) && rested(2); });
  for (size_t k = 0; k < std::size(atRest); ++k) EXPECT_TRUE(rested(k)) << atRest[k] << " stays on the last block";

  // The numbered file, read back by sox.
  const QString recorded = Numbered(0);
  EXPECT_EQ(Find<QLineEdit>("txtFile")->text(), Numbered(1));
  EXPECT_EQ(ReadFile(folder.Path() + "/nu.ini"), QByteArray("1\r\n"));
  const std::vector<int16_t> file = SoxSamples(recorded, folder.Path() + "/recorded.raw");

  std::vector<int16_t> expected = signal;
  clsDSP reference;
  reference.samplerate(44100);
  reference.Channels(2);
  reference.AmplifyDB(4);
  reference.EchoLength(40);
  reference.EchoAmp(0.35f);
  reference.EqualizerBandGainDB(1, 6.0f);
  reference.EffectsUsed(FX_AMPLIFY | FX_ECHO | FX_EQUALIZER);
  reference.ProcessSamples(expected);

  const auto first = std::find_if(file.begin(), file.end(), [](int16_t s) { return s != 0; });
  ASSERT_NE(first, file.end()) << "the file holds only silence";
  const auto lead = static_cast<size_t>(first - file.begin());
  EXPECT_EQ(lead % 2, 0u) << "the signal starts on a left sample";
  ASSERT_GE(file.size() - lead, expected.size());
  size_t mismatches = 0;
  for (size_t i = 0; i < expected.size(); ++i) mismatches += file[lead + i] != expected[i];
  EXPECT_EQ(mismatches, 0u) << "of " << expected.size() << " samples";

  // Neither the stop nor the quit leaves an empty file for the next number.
  form.reset();
  EXPECT_EQ(QDir(folder.Path() + "/file").entryList(QDir::Files), QStringList{"录音0.wav"});
}

// Pseudo-random samples: a join one sample off, or any paused input, shows.
std::vector<int16_t> DistinctSamples(size_t count) {
  std::minstd_rand generator(24681357u);
  std::uniform_int_distribution<int> value(-32768, 32767);
  std::vector<int16_t> samples(count);
  std::generate(samples.begin(), samples.end(), [&] { return static_cast<int16_t>(value(generator)); });
  return samples;
}

// Record 2 s, pause while 2 s more are fed, go on for 2 s, pause for 2 s more
// and stop: the file holds exactly the first and the third segment, joined. Each step waits until the
// driver has received its segment, so the clicks fall on known samples. Every
// way in is used once: Ctrl+R starts, cmdPause pauses, Ctrl+P goes on, the
// tray menu stops.
TEST_F(Form1Test, PausedInputIsLeftOutOfTheFileExactly) {
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("form1_pause"), 44100, 2,
                          "Form1-Pause-" + std::to_string(getpid()));
  ASSERT_TRUE(feeder.Loaded());
  ASSERT_TRUE(LoadWithSource(feeder, true)) << "pipe source not listed";
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  auto* start = Find<QPushButton>("cmdDo");
  auto* pause = Find<QPushButton>("cmdPause");
  auto* length = Find<QLabel>("sbarPanel2");
  EXPECT_TRUE(start->toolTip().contains("Ctrl+R"));
  EXPECT_TRUE(pause->toolTip().contains("Ctrl+P"));
  EXPECT_FALSE(pause->isEnabled());
  const QList<QAction*> items = form->findChild<TrayIcon*>()->Menu()->actions();
  ASSERT_EQ(items.size(), 8) << "start/stop, pause, mark, separator, then the menu as it was with the schedule's item";
  EXPECT_FALSE(items[1]->isEnabled()) << "nothing to pause yet";
  EXPECT_FALSE(items[2]->isEnabled()) << "nothing to mark yet";
  EXPECT_TRUE(items[3]->isSeparator());
  EXPECT_EQ(items[4]->text(), "显示Tamblin");
  EXPECT_EQ(items[5]->objectName(), "mnuSchedule");

  QTest::keyClick(Find<QLineEdit>("txtFile"), Qt::Key_R, Qt::ControlModifier);
  form->Engine().WaitUntilHandled();
  ASSERT_TRUE(form->Controller().IsRecording()) << (messages.shown.empty() ? "" : messages.shown[0].text);
  EXPECT_TRUE(pause->isEnabled());
  EXPECT_EQ(items[0]->text(), "停止录音");
  EXPECT_TRUE(items[1]->isEnabled());
  EXPECT_TRUE(items[2]->isEnabled()) << "a marker can be added while recording";

  const size_t segment = 44100 * 2 * 2;
  const std::vector<int16_t> fed = DistinctSamples(4 * segment);
  const auto part = [&](size_t k) {
    return std::vector<int16_t>(fed.begin() + static_cast<long>(k * segment),
                                fed.begin() + static_cast<long>((k + 1) * segment));
  };
  const auto feedAndWait = [&](size_t k) {
    feeder.Feed(part(k), 4.0);
    const auto bytes = static_cast<int64_t>((k + 1) * segment * 2);
    EXPECT_TRUE(WaitFor([&] { return form->Recorder().ReceivedBytes() >= bytes; }))
        << "received " << form->Recorder().ReceivedBytes() << " of " << bytes << " bytes";
  };

  feedAndWait(0);
  QTest::mouseClick(pause, Qt::LeftButton);
  form->Engine().WaitUntilHandled();
  EXPECT_EQ(pause->text(), "继续");
  EXPECT_EQ(items[1]->text(), "继续");
  EXPECT_TRUE(WaitFor([&] { return length->text().endsWith("(已暂停)"); }));
  const QString pausedLength = length->text();
  const QImage wave = Find<QWidget>("picAmpl")->grab().toImage();
  const QImage spectrum = Find<QWidget>("picFreq")->grab().toImage();

  feedAndWait(1);
  QTest::qWait(100);  // ticks that would draw
  EXPECT_EQ(length->text(), pausedLength) << "the length stands still";
  EXPECT_EQ(Find<QWidget>("picAmpl")->grab().toImage(), wave) << "the waveform stands still";
  EXPECT_EQ(Find<QWidget>("picFreq")->grab().toImage(), spectrum) << "the spectrum stands still";
  QTest::keyClick(Find<QLineEdit>("txtFile"), Qt::Key_P, Qt::ControlModifier);
  form->Engine().WaitUntilHandled();
  EXPECT_EQ(pause->text(), "暂停");
  EXPECT_FALSE(form->Controller().IsPaused());

  feedAndWait(2);
  // Paused again, and stopped while paused: the stop's last blocks stay out.
  QTest::mouseClick(pause, Qt::LeftButton);
  form->Engine().WaitUntilHandled();
  feedAndWait(3);
  feeder.WaitFed();
  items[0]->trigger();
  form->Engine().WaitUntilHandled();
  EXPECT_FALSE(form->Controller().IsRecording());
  EXPECT_FALSE(pause->isEnabled());
  EXPECT_FALSE(items[1]->isEnabled());
  EXPECT_EQ(items[0]->text(), "开始录音");
  EXPECT_TRUE(messages.shown.empty()) << messages.shown[0].text;

  const std::vector<int16_t> file = SoxSamples(Numbered(0), folder.Path() + "/recorded.raw");
  std::vector<int16_t> expected = part(0);
  const std::vector<int16_t> third = part(2);
  expected.insert(expected.end(), third.begin(), third.end());
  ASSERT_EQ(file.size(), expected.size());
  const auto mismatch = std::mismatch(file.begin(), file.end(), expected.begin());
  EXPECT_TRUE(mismatch.first == file.end()) << "first difference at sample " << (mismatch.first - file.begin());
}

}  // namespace
