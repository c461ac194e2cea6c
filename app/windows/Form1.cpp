#include "app/windows/Form1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/windows/About.h"
#include "app/windows/SteadyLabel.h"
#include "app/windows/AccessibleComboBox.h"
#include "app/windows/AccessibleNames.h"
#include "app/platform/ApplicationIdentity.h"
#include "app/windows/FormatChooserDialog.h"
#include "app/windows/InputChooser.h"
#include "app/windows/OutputChooser.h"
#include "app/windows/meters/LevelMeterView.h"
#include "app/windows/meters/LevelScale.h"
#include "app/windows/meters/MeterPanel.h"
#include "app/windows/meters/ClipLamp.h"
#include "app/windows/PictureView.h"
#include "app/windows/QtMessageBoxService.h"
#include "app/windows/QtOutputFileDialog.h"
#include "app/windows/RecorderButtons.h"
#include "app/recording/RecordingController.h"
#include "app/recording/RecordingEngine.h"
#include "app/recording/StatusTexts.h"
#include "app/recording/WindowThreadDialogs.h"
#include "app/handsfree/ScheduleKeeper.h"
#include "app/windows/SettingChooserDialog.h"
#include "app/windows/SpokenSlider.h"
#include "app/windows/SettingsKeeper.h"
#include "app/windows/SecondInputChooser.h"
#include "app/recording/SecondInputFinder.h"
#include "app/platform/ShellServices.h"
#include "capture/PulsePlaybackOutput.h"
#include "capture/SourceWatcher.h"
#include "app/review/TakeReviewPanel.h"
#include "app/review/TakeTagsKeeper.h"
#include "app/windows/TrayIcon.h"
#include "app/windows/frmFXOpts.h"
#include "capture/WaveInRecorder.h"
#include "display/QImageSurface.h"
#include "display/modDraw.h"
#include "encoding/EncoderSelection.h"
#include "encoding/EncoderWAV.h"
#include "metering/BlockPeak.h"

namespace {

constexpr int kTickMs = 25;
constexpr int kMinimumWidth = 720, kMinimumHeight = 590;  // with one input
// The spectrum's bars sit on a fixed 4-pixel pitch (22 bars from x = 4): its
// surface keeps that width and the view stretches it across the window.
constexpr int kSpectrumWidth = 96;
const QKeySequence kStartStopKey(Qt::CTRL | Qt::Key_R);
const QKeySequence kPauseKey(Qt::CTRL | Qt::Key_P);
const QKeySequence kMarkKey(Qt::CTRL | Qt::Key_M);
const QKeySequence kTagsKey(Qt::CTRL | Qt::Key_T);

QString Q(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }
std::string S(const QString& text) { return text.toUtf8().toStdString(); }

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

}  // namespace

Form1::Form1() : Form1(Services{}) {}

Form1::Form1(Services services, QWidget* parent) : QMainWindow(parent), services_(services) {
  setObjectName("Form1");
  setWindowTitle("TamblinV" + ApplicationIdentity::Version());
  setWindowIcon(ApplicationIdentity::Icon());
  if (!services_.messages) {
    auto boxes = std::make_unique<QtMessageBoxService>(this);
    if (!services_.questions) services_.questions = boxes.get();
    services_.messages = boxes.get();
    ownMessages_ = std::move(boxes);
  }
  if (!services_.fileDialog) {
    ownFileDialog_ = std::make_unique<QtOutputFileDialog>(this);
    services_.fileDialog = ownFileDialog_.get();
  }
  if (!services_.formatChooser) {
    ownChooser_ = std::make_unique<FormatChooserDialog>(this);
    services_.formatChooser = ownChooser_.get();
  }
  if (!services_.settingChooser) {
    ownSettingChooser_ = std::make_unique<SettingChooserDialog>(this);
    services_.settingChooser = ownSettingChooser_.get();
  }
  // Before any control exists: Qt keeps the first reading it makes of each.
  AccessibleComboBox::Install();
  SpokenSlider::Install();
  surfAmpl_ = std::make_unique<QImageSurface>(340, 120);
  surfFreq_ = std::make_unique<QImageSurface>(kSpectrumWidth, 120);
  BuildControls();
  ConnectHandlers();
}

Form1::~Form1() { Unload(); }

RecordingController& Form1::Controller() { return engine_->Controller(); }

// ---------------------------------------------------------------- layout

void Form1::BuildControls() {
  auto* central = new QWidget(this);
  setCentralWidget(central);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(10, 10, 10, 6);
  layout->setSpacing(8);

  auto* settings = new QHBoxLayout;
  settings->setSpacing(8);
  input_ = new InputChooser(*central);
  frmInp_ = input_->Frame();
  second_ = new SecondInputChooser(*frmInp_);
  output_ = new OutputChooser(*central, {services_.messages, services_.fileDialog, services_.formatChooser,
                                         services_.settingChooser, services_.questions});
  frmOut_ = output_->Frame();
  settings->addWidget(frmInp_, 4);
  settings->addWidget(frmOut_, 5);
  layout->addLayout(settings);
  layout->addWidget(BuildDisplays(), 1);
  review_ = Named(new TakeReviewPanel(std::make_unique<PulsePlaybackOutput>(), central), "takeReview");
  layout->addWidget(review_);
  frmEffects_ = BuildEffectsFrame();
  layout->addWidget(frmEffects_);

  auto* buttons = new QHBoxLayout;
  cmdDo_ = Named(new QPushButton(tr("开始录音"), central), "cmdDo");
  QFont bold = cmdDo_->font();
  bold.setBold(true);
  cmdDo_->setFont(bold);
  cmdDo_->setMinimumSize(140, 34);
  cmdDo_->setDefault(true);
  Command1_ = Named(new QPushButton(tr("关于"), central), "Command1");
  Command4_ = Named(new QPushButton(tr("最小化至系统托盘"), central), "Command4");
  buttons->addWidget(cmdDo_);
  cmdPause_ = Named(new QPushButton(Q(RecordingController::PauseCaption()), central), "cmdPause");
  cmdPause_->setMinimumHeight(34);
  cmdPause_->setEnabled(false);
  buttons->addWidget(cmdPause_);
  cmdMark_ = Named(new QPushButton(tr("标记"), central), "cmdMark");
  cmdMark_->setMinimumHeight(34);
  cmdMark_->setEnabled(false);
  buttons->addWidget(cmdMark_);
  cmdTags_ = Named(new QPushButton(tr("下次标签…"), central), "cmdTags");
  cmdTags_->setMinimumHeight(34);
  buttons->addWidget(cmdTags_);
  buttons->addStretch(1);
  buttons->addWidget(Command1_);
  buttons->addWidget(Command4_);
  layout->addLayout(buttons);

  sbar_ = Named(new QStatusBar(this), "sbar");
  // Panels of a fixed width (the widest usual text), so that texts changing
  // with every block do not lay the window out anew.
  sbarPanel1_ = Named(new SteadyLabel(tr("文件大小: 0 字节"), tr("文件大小: %1").arg("1023.9 MB"), sbar_), "sbarPanel1");
  sbarPanel2_ = Named(new SteadyLabel(tr("长度: %1").arg("0:00"), tr("长度: %1").arg("10:00:00"), sbar_), "sbarPanel2");
  sbar_->addWidget(sbarPanel1_);
  sbar_->addWidget(sbarPanel2_);
  sbarPanel3_ = Named(new SteadyLabel(tr("输入丢失: %1").arg(0), tr("输入丢失: %1").arg(9999), sbar_), "sbarPanel3");
  sbar_->addWidget(sbarPanel3_);
  sbar_->addWidget(meters_->ClipsLabel());
  setStatusBar(sbar_);

  tmrVis_ = Named(new QTimer(this), "tmrVis");
  tmrVis_->setInterval(kTickMs);
  tmrVis_->setTimerType(Qt::PreciseTimer);

  // The line list and the level slider belong to the window, not to frmInp, so
  // disabling the frame during a recording leaves them usable.
  input_->AddOverlays();
  AccessibleNames::Apply(*this);
  OrderTabs();

  resize(800, 650);  // 90 of it for the take review panel
  setMinimumSize(kMinimumWidth, kMinimumHeight);
}

void Form1::OrderTabs() {
  // Reading order: the input frame, the output frame, the clip lamps, the take
  // review, the effects row, then the buttons from left to right.
  QList<QWidget*> order = input_->TabOrder();
  order += second_->TabOrder();
  order += output_->TabOrder();
  order += {meters_->Lamp(0), meters_->Lamp(1)};
  order += review_->TabOrder();
  for (QCheckBox* effect : chkFX_) order.append(effect);
  order += {cmdFXOpts_, cmdSchedule_, Command2_, cmdDo_, cmdPause_, cmdMark_, cmdTags_, Command1_, Command4_};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

QGroupBox* Form1::BuildEffectsFrame() {
  auto* frame = Named(new QGroupBox(tr("特效/滤镜")), "frmEffects");
  auto* row = new QHBoxLayout(frame);
  const char* const captions[] = {QT_TR_NOOP("回声"), QT_TR_NOOP("周相移动"), QT_TR_NOOP("放大器"),
                                  QT_TR_NOOP("均衡器")};
  for (int k = 0; k < 4; ++k) {
    chkFX_[k] = new QCheckBox(tr(captions[k]), frame);
    chkFX_[k]->setObjectName(QString("chkFX%1").arg(k));
    row->addWidget(chkFX_[k]);
    row->addSpacing(6);
  }
  row->addStretch(1);
  cmdFXOpts_ = Named(new QPushButton(tr("设置"), frame), "cmdFXOpts");
  Command2_ = Named(new QPushButton(tr("帮助"), frame), "Command2");
  row->addWidget(cmdFXOpts_);
  cmdSchedule_ = Named(new QPushButton(tr("定时/触发"), frame), "cmdSchedule");
  row->addWidget(cmdSchedule_);
  row->addWidget(Command2_);
  return frame;
}

PictureView* Form1::AddPicture(const char* name, QImageSurface& surface, QWidget* parent) {
  return ShowSurface(Named(new PictureView(parent), name), surface);
}

PictureView* Form1::ShowSurface(PictureView* view, QImageSurface& surface) {
  view->SetSurface(&surface);
  view->installEventFilter(this);  // the surface follows the view's size
  return view;
}

QWidget* Form1::BuildDisplays() {
  auto* box = new QWidget;
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(6);
  picAmpl_ = AddPicture("picAmpl", *surfAmpl_, box);
  picFreq_ = AddPicture("picFreq", *surfFreq_, box);
  picFreq_->Stretch(true);
  meters_ = new MeterPanel(box, this);
  picAmpl_->setMinimumSize(260, 110);
  picFreq_->setMinimumSize(260, 110);
  auto* pictures = new QHBoxLayout;
  pictures->setSpacing(8);
  pictures->addWidget(picAmpl_, 1);
  pictures->addWidget(picFreq_, 1);
  grid->addLayout(pictures, 0, 0, 1, 2);
  grid->addWidget(Named(new QLabel(tr("左声道:"), box), "lblVUchL"), 1, 0);
  grid->addWidget(meters_->Meter(0), 1, 1);
  grid->addWidget(Named(new QLabel(tr("右声道:"), box), "lblVUchR"), 2, 0);
  grid->addWidget(meters_->Meter(1), 2, 1);
  grid->addWidget(meters_->Lamp(0), 1, 2);
  grid->addWidget(meters_->Lamp(1), 2, 2);
  const char* const secondNames[] = {"lblVU2L", "lblVU2R"};
  const QString secondCaptions[] = {tr("第二输入 左:"), tr("第二输入 右:")};
  for (int channel = 0; channel < 2; ++channel) {
    secondBarLabels_[channel] = Named(new QLabel(secondCaptions[channel], box), secondNames[channel]);
    grid->addWidget(secondBarLabels_[channel], 3 + channel, 0);
    grid->addWidget(meters_->Meter(MeterPanel::kSecondLeft + channel), 3 + channel, 1);
  }
  grid->addWidget(meters_->Scale(), 5, 1);
  grid->addWidget(meters_->LoudnessLabel(), 6, 0, 1, 3);
  grid->setRowStretch(0, 1);
  grid->setColumnStretch(1, 1);
  ShowSecondBars(false);
  return box;
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::Resize && watched == picFreq_) {
    surfFreq_->Resize(kSpectrumWidth, std::max(1, picFreq_->height()));
  } else if (type == QEvent::Resize && watched == picAmpl_) {
    surfAmpl_->Resize(std::max(1, picAmpl_->width()), std::max(1, picAmpl_->height()));
    drawnBlock_ = UINT64_MAX;  // the cleared surface needs the waveform again
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- start-up and shutdown

void Form1::ConnectHandlers() {
  connect(cmdDo_, &QPushButton::clicked, this, &Form1::OnStartStopPressed);
  output_->FormatChanged = [this] { HandChoicesToRecorder(); };
  for (int k = 0; k < 4; ++k) {
    connect(chkFX_[k], &QCheckBox::toggled, this, [this, k] { OnEffectClicked(k); });
  }
  connect(cmdFXOpts_, &QPushButton::clicked, this, &Form1::ShowEffectsDialog);
  connect(cmdSchedule_, &QPushButton::clicked, this, [this] {
    if (schedule_) schedule_->ShowDialog();
  });
  connect(Command1_, &QPushButton::clicked, this, [] { About::ShowInstance(); });
  connect(Command2_, &QPushButton::clicked, this, [this] { ShellServices::OpenHelp(*services_.messages); });
  connect(Command4_, &QPushButton::clicked, this, [this] {
    if (tray_) tray_->HideWindow();
  });
  connect(tmrVis_, &QTimer::timeout, this, &Form1::OnTick);
  connect(cmdPause_, &QPushButton::clicked, this, &Form1::OnPausePressed);
  AddRecordingShortcuts();
}

void Form1::AddRecordingShortcuts() {
  // Window-wide, so they work from any control; no text box uses these keys.
  auto* startStop = new QShortcut(kStartStopKey, this);
  connect(startStop, &QShortcut::activated, this, &Form1::OnStartStopPressed);
  auto* pause = new QShortcut(kPauseKey, this);
  connect(pause, &QShortcut::activated, this, &Form1::OnPausePressed);
  cmdDo_->setToolTip(tr("开始/停止录音 (%1)").arg(kStartStopKey.toString(QKeySequence::NativeText)));
  cmdPause_->setToolTip(tr("暂停/继续录音 (%1)").arg(kPauseKey.toString(QKeySequence::NativeText)));
  auto* mark = new QShortcut(kMarkKey, this);
  connect(mark, &QShortcut::activated, this, &Form1::AddMarker);
  connect(cmdMark_, &QPushButton::clicked, this, &Form1::AddMarker);
  cmdMark_->setToolTip(tr("在当前位置加一个标记 (%1)").arg(kMarkKey.toString(QKeySequence::NativeText)));
  auto* tags = new QShortcut(kTagsKey, this);
  connect(tags, &QShortcut::activated, cmdTags_, &QPushButton::click);
  connect(cmdTags_, &QPushButton::clicked, this, [this] {
    if (tags_) tags_->EditNext();
  });
  cmdTags_->setToolTip(tr("下次录音的标题、软件和备注 (%1)").arg(kTagsKey.toString(QKeySequence::NativeText)));
}

void Form1::ConnectTrayRecordingItems() {
  tray_->AddRecordingItems([this] { OnStartStopPressed(); }, [this] { OnPausePressed(); }, [this] { AddMarker(); });
  tray_->ShowRecordingState(engine_->State());
}

void Form1::AddMarker() {
  // No prompt: the moment matters, the name can wait ("标记 N").
  if (!engine_ || !cmdMark_->isEnabled()) return;  // the key does what the button does
  const RecorderControl::Result result = engine_->Mark({});
  if (!result.ok) services_.messages->ShowWarning("Tamblin", result.reason);
}

void Form1::OnPausePressed() {
  if (!engine_) return;
  ++waitingOnEngine_;
  if (engine_->State() == RecorderState::Paused) {
    engine_->Resume();
  } else {
    engine_->Pause();
  }
  --waitingOnEngine_;
}

void Form1::ShowState(RecorderState state) {
  const RecorderButtons shown = RecorderButtons::For(state);
  cmdDo_->setText(shown.startStop);
  cmdPause_->setEnabled(shown.pauseEnabled);
  cmdMark_->setEnabled(shown.pauseEnabled);
  cmdPause_->setText(shown.pause);
  frmOut_->setEnabled(shown.settingsEnabled);
  frmInp_->setEnabled(shown.settingsEnabled);
  if (tray_) tray_->ShowRecordingState(state);
  if (settings_) settings_->HoldWrites(!AtRest(state));
}

void Form1::HandChoicesToRecorder() {
  if (!engine_) return;
  engine_->FormatChosen(output_->ChosenFormat());
  engine_->DeviceChosen(DeviceChosen());
  engine_->InputChanged(false);  // the monitor follows the rate and stereo
  HandSecondInputToRecorder();
}

void Form1::HandSecondInputToRecorder() {
  if (!engine_ || !schedule_) return;
  SecondInputSettings chosen = second_->Settings();
  chosen.gateOnEither = schedule_->GateOnEither();
  engine_->SecondInputChosen(chosen);
  ShowSecondBars(chosen.Active());
}

void Form1::ShowSecondBars(bool shown) {
  for (int channel = 0; channel < 2; ++channel) {
    secondBarLabels_[channel]->setVisible(shown);
    meters_->Meter(MeterPanel::kSecondLeft + channel)->setVisible(shown);
  }
  FitHeight();
}

void Form1::FitHeight() {
  // The second input's rows and bars need more height than the one-input window has.
  centralWidget()->layout()->activate();
  const int needed = std::max(kMinimumHeight, minimumSizeHint().height());
  setMinimumHeight(needed);
  if (height() < needed) resize(width(), needed);
}

void Form1::FollowRecorderChoices() {
  input_->FollowRecorderDevice();
  output_->FollowRecorder();
}

void Form1::ShowResult(const RecorderControl::Result& result) {
  if (!result.ok && !result.reason.empty()) {
    services_.messages->ShowWarning(RecordingController::CheckCaption(), result.reason);
  }
  for (const std::string& warning : result.warnings) ShowWarning(warning);
}

void Form1::Load() {
  // The capture engine's hook reports from the recording thread: its boxes are queued to this one.
  hookDialogs_ = std::make_unique<WindowThreadDialogs>(*services_.messages, nullptr, *this);
  clsRecorder_ = std::make_unique<WaveInRecorder>(hookDialogs_.get());
  clsEncoder_ = std::make_unique<EncoderSelection>();
  engine_ = std::make_unique<RecordingEngine>(*clsRecorder_, *clsEncoder_, clsEffects_, *services_.messages,
                                              services_.questions);
  engine_->OutputFileShown = [this](const std::string& path) { output_->ShowOutputFile(path); };
  engine_->ChoicesChanged = [this] { FollowRecorderChoices(); };
  input_->Attach(*clsRecorder_, *engine_, *services_.messages);
  second_->Attach(*clsRecorder_);
  second_->Notice = [this](const QString& text) { ShowNotice(text); };
  secondInputs_ = std::make_unique<SecondInputFinder>(*clsRecorder_, [this] { return engine_->SecondInputChoice(); });
  output_->Attach(*clsEncoder_, *engine_, clsEffects_);
  input_->Notice = [this](const QString& text) { ShowNotice(text); };
  engine_->OnStateChanged([this](RecorderState state) { ShowState(state); });
  schedule_ = std::make_unique<ScheduleKeeper>(*engine_, *sbar_, *this, *services_.messages);
  tags_ = std::make_unique<TakeTagsKeeper>(*services_.messages, *this);
  tags_->NextTextsChanged = [this](const TakeTexts& texts) { engine_->TextsChanged(texts); };
  tags_->BusyChanged = [this](bool busy) { review_->TagsBusy(busy); };
  review_->TagsRequested = [this](const std::string& path, int32_t rate) { tags_->EditTake(path, rate); };
  RestoreChoices();  // before blnLoaded_: their handlers do nothing yet
  blnLoaded_ = true;
  output_->GoLive();
  input_->RefreshDevices();
  input_->RestoreDevice(settings_->Values());
  second_->Restore(settings_->Values());
  WatchChoices();
  HandChoicesToRecorder();
  sourceWatcher_ = std::make_unique<SourceWatcher>();
  sourceWatcher_->SourcesChanged = [this] {
    input_->RefreshDevices();
    // The recorder hears of the second input only when the refresh changed it (its device went).
    const SecondInputSettings before = second_->Settings();
    second_->RefreshDevices();
    if (second_->Settings() != before) HandSecondInputToRecorder();
  };
  output_->ShowFormatInEffects();

  show();
  tmrVis_->start();
  ++waitingOnEngine_;
  const std::vector<std::string> warnings = engine_->StartUp();
  input_->Monitor();  // the remembered device's input opens for the meters
  --waitingOnEngine_;
  // Shown once the loop runs: the doors opened after the load answer meanwhile, not after an OK.
  if (!warnings.empty()) {
    QTimer::singleShot(0, this, [this, warnings] {
      for (const std::string& warning : warnings) ShowWarning(warning);
    });
  }
  if (services_.trayIcon) {
    tray_ = std::make_unique<TrayIcon>(this, [this] { close(); });
    ConnectTrayRecordingItems();
    tray_->AddScheduleItem([this] { schedule_->ShowDialog(); });
    schedule_->SetTray(tray_.get());
  }
}

void Form1::closeEvent(QCloseEvent* event) {
  if (waitingOnEngine_ > 0 || output_->WaitingOnEngine()) {
    // A handler below waits in a loop of its own for the recording thread and
    // uses the window when it returns: the close comes right after it.
    event->ignore();
    QTimer::singleShot(kTickMs, this, [this] { close(); });
    return;
  }
  Unload();
  event->accept();  // the unload is never cancelled
}

void Form1::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  output_->Quiet();  // losing the focus, the rate box would report its text as chosen
  if (settings_) settings_->SaveNow();
  sourceWatcher_.reset();
  schedule_.reset();  // a schedule does not outlive the window
  tags_.reset();      // after a re-tag under way
  // The display keeps ticking while the queue is written, showing how much is left.
  if (engine_) engine_->Shutdown();
  tmrVis_->stop();
  engine_.reset();
  clsRecorder_.reset();
  clsEncoder_.reset();
  tray_.reset();
}

// ---------------------------------------------------------------- remembered choices

void Form1::RestoreChoices() {
  settings_ = std::make_unique<SettingsKeeper>();
  settings_->SaveFailed = [this](const QString& notice) { ShowNotice(notice); };
  ShowNotice(settings_->Load());
  const RecorderSettings& remembered = settings_->Values();
  output_->Restore(remembered);
  RestoreEffects();
  schedule_->HandsFree(remembered.HandsFree());
  schedule_->GateOnEither(remembered.SecondInput().gateOnEither);
  input_->RestoreMonitoring(remembered);
}

void Form1::RestoreEffects() {
  clsEffects_.Apply(settings_->Values().EffectsOver(clsEffects_.Settings()));
  for (int k = 0; k < static_cast<int>(chkFX_.size()); ++k) {
    const QSignalBlocker blocker(chkFX_[k]);
    chkFX_[k]->setChecked((clsEffects_.EffectsUsed() & (1 << k)) != 0);
  }
  engine_->EffectsChanged();
}

void Form1::WatchChoices() {
  // Connected after the handlers, so the choice is made when it is kept.
  const auto remember = [this] { RememberChoices(); };
  input_->Chosen = remember;
  output_->Chosen = remember;
  for (QCheckBox* box : chkFX_) connect(box, &QCheckBox::toggled, this, remember);
  const auto secondChosen = [this] {
    HandSecondInputToRecorder();
    RememberChoices();
  };
  second_->Chosen = secondChosen;
  schedule_->HandsFreeChosen = secondChosen;  // sound activation's gate is the second input's choice too
}

void Form1::RememberChoices() {
  if (!blnLoaded_ || unloaded_) return;
  RecorderSettings& remembered = settings_->Values();
  input_->Remember(remembered);
  output_->Remember(remembered);
  remembered.Effects(clsEffects_.Settings());
  remembered.HandsFree(schedule_->HandsFree());
  remembered.SetFlag(RecorderSettings::Key::GateOnEither, schedule_->GateOnEither());
  second_->Remember(remembered);
  settings_->SaveSoon();
}

void Form1::ShowNotice(const QString& text) {
  if (text.isEmpty() && !sbarNotice_) return;
  if (!sbarNotice_) {
    sbarNotice_ = Named(new QLabel(sbar_), "sbarNotice");
    sbar_->addWidget(sbarNotice_, 1);
  }
  sbarNotice_->setText(text);
  sbarNotice_->setToolTip(text);
  sbarNotice_->setVisible(!text.isEmpty());
}

// ---------------------------------------------------------------- choices

std::string Form1::OutputFile() const { return output_->OutputFile(); }
std::string Form1::RateText() const { return output_->RateText(); }
bool Form1::Stereo() const { return output_->Stereo(); }
bool Form1::DeviceChosen() const { return input_->DeviceChosen(); }
EncoderWAV& Form1::Encoder() { return clsEncoder_->WAV(); }

// ---------------------------------------------------------------- input

void Form1::ShowWarning(const std::string& text) {
  services_.messages->ShowWarning(RecordingController::kAppCaption, text);
}

void Form1::BringToFront() {
  if (tray_) {
    tray_->BringToFront();
    return;
  }
  setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

// ---------------------------------------------------------------- effects

void Form1::OnEffectClicked(int Index) {
  const int32_t bit = 1 << Index;
  const int32_t used = clsEffects_.EffectsUsed();
  clsEffects_.EffectsUsed(chkFX_[Index]->isChecked() ? (used | bit) : (used & ~bit));
  if (engine_) engine_->EffectsChanged();
}

void Form1::OnStartStopPressed() {
  // While the file is finished the button does nothing, as before any verb existed.
  if (!engine_ || engine_->State() == RecorderState::Finishing) return;
  // The recorder refuses it too, but only the window knows where the choice is made.
  if (AtRest(engine_->State()) && !schedule_->Schedule().StartPending() && !DeviceChosen()) {
    return PointAtDeviceBox();
  }
  ++waitingOnEngine_;
  const RecorderControl::Result result = engine_->Toggle();
  --waitingOnEngine_;
  ShowResult(result);
}

void Form1::PointAtDeviceBox() {
  input_->FocusDevice();  // where the focus returns once the box is closed
  services_.messages->ShowWarning(RecordingController::CheckCaption(),
                                  RecordingController::NoDeviceMessage() + "\n" +
                                      S(tr("请在上方\"设备\"框中选择录音设备.")));
}

void Form1::ShowEffectsDialog() {
  if (!fxOpts_) {
    fxOpts_ = new frmFXOpts(this);
    fxOpts_->SettingsChanged = [this] {
      engine_->EffectsChanged();
      RememberChoices();
    };
  }
  fxOpts_->ShowEx(clsEffects_, this);
}

// ---------------------------------------------------------------- display

void Form1::OnTick() {
  if (!engine_) return;
  NoteTickLateness();
  const bool seen = DisplaysSeen();
  engine_->WatchSamples(seen);
  engine_->Observe(shown_, seen);
  const RecordingMonitor::Snapshot& shown = shown_;
  ShowStatusTexts(shown);
  meters_->ShowMeters(shown);
  FollowTakeReview(shown.state);
  // Minimized or hidden in the tray: no spectrum worked out, no picture drawn.
  if (!seen) {
    emit Ticked();
    return;
  }
  if (shown.state == RecorderState::Recording || shown.state == RecorderState::Paused ||
      shown.state == RecorderState::Monitoring) {
    DrawDisplays(shown);
    displaysLive_ = true;
  } else if (displaysLive_ && shown.state != RecorderState::Starting) {
    ShowIdleDisplays();
    displaysLive_ = false;
  }
  emit Ticked();
}

bool Form1::DisplaysSeen() const { return isVisible() && !isMinimized(); }

void Form1::ShowIdleDisplays() {
  // A stopped input shows no level: the bars and the spectrum as before any
  // recording. The waveform keeps the take's last block, the loudness line its figures.
  surfFreq_->Cls();
  picFreq_->ShowIfChanged();
  meters_->ShowIdleLevels();
}

void Form1::DrawDisplays(const RecordingMonitor::Snapshot& shown) {
  // Blocks come about every 58 ms, ticks every 25: the waveform of a block
  // already drawn would come out the same, so it is drawn once (while paused
  // the block stays the last recorded one). The spectrum's bars fall on every
  // tick and are drawn each time, except while paused: they stand still then.
  if (shown.blockSerial != drawnBlock_) {
    drawnBlock_ = shown.blockSerial;
    clsVis_.DrawAmplitudes(shown.block, *surfAmpl_);
    picAmpl_->ShowIfChanged();
  }
  if (shown.state != RecorderState::Paused) {
    clsVis_.DrawFrequencies(shown.block, *surfFreq_);
    picFreq_->ShowIfChanged();
  }
  meters_->ShowLevels(shown.peaks, shown.levelThreshold);  // the live input, paused or not
  if (shown.secondInput) meters_->ShowSecondLevels(shown.secondPeaks);
  second_->ShowEchoDelay(shown.echoDelayMs);
}

void Form1::FollowTakeReview(RecorderState state) {
  const bool idle = AtRest(state);
  // Playback never runs beside a recording; a finished take is offered for review.
  if (!idle && reviewIdle_) review_->RecordingStarted();
  if (idle && !reviewIdle_) {
    const RecordingController& controller = engine_->Controller();
    review_->ShowTake(controller.Take());
    // Marker frames count from their own file's start: shown when the take is that one file.
    std::vector<int64_t> frames;
    if (controller.Markers().Position() == controller.Take().Frames()) {
      for (const TakeMarkers::Marker& marker : controller.Markers().Markers()) frames.push_back(marker.frame);
    }
    review_->Markers(std::move(frames));
  }
  reviewIdle_ = idle;
}

void Form1::NoteTickLateness() {
  const bool recording = !AtRest(engine_->State());  // a take runs: monitoring alone is no recording
  if (recording && lastTick_.isValid()) {
    maxTickLatenessMs_ = std::max<int64_t>(maxTickLatenessMs_, lastTick_.restart() - kTickMs);
  } else {
    lastTick_.start();
  }
  if (!recording) lastTick_.invalidate();
}

void Form1::ShowStatusTexts(const RecordingMonitor::Snapshot& shown) {
  // Size and length change with every block; the rest is news, shown at once.
  const StatusMeaning meaning{shown.state, shown.waitingForSound, shown.take, shown.capturing ? shown.lostCount : 0};
  const bool changed = statusMeaning_ != meaning;
  statusMeaning_ = meaning;
  if (!statusPace_.Due(changed)) return;
  if (shown.state == RecorderState::Finishing) {
    ShowText(*sbarPanel1_, S(tr("正在完成文件, 还有 %1 秒的录音待写入…").arg(std::ceil(shown.secondsToWrite))));
  } else {
    ShowText(*sbarPanel1_, StatusTexts::Size(shown));
  }
  ShowText(*sbarPanel2_, StatusTexts::LengthWithHandsFree(shown));
  ShowText(*sbarPanel3_, StatusTexts::Lost(shown));
  // A stop's wide texts ("finishing", paused takes) leave with it: the room goes
  // back to the schedule's countdown, which comes between recordings.
  if (AtRest(shown.state)) {
    for (SteadyLabel* panel : {sbarPanel1_, sbarPanel2_, sbarPanel3_}) panel->Settle();
  }
}

void Form1::ShowText(SteadyLabel& label, const std::string& text) { label.Show(Q(text)); }
