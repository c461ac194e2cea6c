#include "app/windows/Form1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSlider>
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
#include "app/windows/AppErrorBox.h"
#include "common/AppError.h"
#include "app/platform/ApplicationIdentity.h"
#include "app/windows/FollowingFormat.h"
#include "app/windows/FormatChooserDialog.h"
#include "app/windows/InputChooser.h"
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
#include "app/windows/RememberedFormat.h"
#include "app/windows/SettingChooserDialog.h"
#include "app/windows/SpokenSlider.h"
#include "app/windows/SettingsKeeper.h"
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
#include "encoding/MuxedEncoder.h"

namespace {

constexpr int kTickMs = 25;
constexpr int kMaxRateDigits = 5;
// The spectrum's bars sit on a fixed 4-pixel pitch (22 bars from x = 4): its
// surface keeps that width and the view stretches it across the window.
constexpr int kSpectrumWidth = 96;
const char* const kFormatTitle = QT_TRANSLATE_NOOP("Form1", "选择声音输出格式");
const QKeySequence kStartStopKey(Qt::CTRL | Qt::Key_R);
const QKeySequence kPauseKey(Qt::CTRL | Qt::Key_P);
const QKeySequence kMarkKey(Qt::CTRL | Qt::Key_M);
const QKeySequence kTagsKey(Qt::CTRL | Qt::Key_T);

QString Q(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }
std::string S(const QString& text) { return text.toUtf8().toStdString(); }

// Typed keys: the rate box takes digits up to five characters and Backspace;
// editing keys that type no character (arrows, Delete) keep their role. On X11
// and Wayland Delete arrives with the text "\x7f", so it is let through by its
// key code. Text that arrives otherwise (input method, paste, drop) is held to
// the same digits by the box's validator.
bool RateKeyAccepted(const QString& boxText, const QKeyEvent& key) {
  if (key.key() == Qt::Key_Delete) return true;
  const QString typed = key.text();
  if (typed.isEmpty()) return true;
  const QChar ch = typed.front();
  if (ch == QChar(8)) return true;
  if (ch >= '0' && ch <= '9') return boxText.size() != kMaxRateDigits;
  return false;
}

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
  frmOut_ = BuildOutputFrame();
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
  setMinimumSize(720, 590);
}

void Form1::OrderTabs() {
  // Reading order: the input frame, the output frame, the clip lamps, the take
  // review, the effects row, then the buttons from left to right.
  QList<QWidget*> order = input_->TabOrder();
  order += {txtFile_, cmdBrowse_, Command3_, txtWAVFmt_, cmdSelFmt_,
            cboSamplerate_, chkStereo_, cboFileType_, meters_->Lamp(0), meters_->Lamp(1)};
  order += review_->TabOrder();
  for (QCheckBox* effect : chkFX_) order.append(effect);
  order += {cmdFXOpts_, cmdSchedule_, Command2_, cmdDo_, cmdPause_, cmdMark_, cmdTags_, Command1_, Command4_};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

QGroupBox* Form1::BuildOutputFrame() {
  auto* frame = Named(new QGroupBox(tr("输出")), "frmOut");
  auto* outer = new QVBoxLayout(frame);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* panel = Named(new QWidget(frame), "picOutXP");
  outer->addWidget(panel);
  auto* grid = new QGridLayout(panel);
  grid->setHorizontalSpacing(6);

  txtFile_ = Named(new QLineEdit(panel), "txtFile");
  cmdBrowse_ = Named(new QPushButton("...", panel), "cmdBrowse");
  Command3_ = Named(new QPushButton(tr("打开文件夹"), panel), "Command3");
  txtWAVFmt_ = Named(new QLineEdit(panel), "txtWAVFmt");
  txtWAVFmt_->setReadOnly(true);
  cmdSelFmt_ = Named(new QPushButton("...", panel), "cmdSelFmt");
  for (QPushButton* small : {cmdBrowse_, cmdSelFmt_}) {
    small->setFixedWidth(small->fontMetrics().horizontalAdvance("...") + 24);
  }
  cboSamplerate_ = Named(new QComboBox(panel), "cboSamplerate");
  cboSamplerate_->setEditable(true);
  cboSamplerate_->setInsertPolicy(QComboBox::NoInsert);
  cboSamplerate_->addItems({"44100", "22050", "11025", "8000"});
  // No inline completion: "1" would become "11025", and a typed 12000 a listed rate.
  cboSamplerate_->setCompleter(nullptr);
  cboSamplerate_->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QString("[0-9]{0,%1}").arg(kMaxRateDigits)), cboSamplerate_));
  cboSamplerate_->lineEdit()->installEventFilter(this);
  chkStereo_ = Named(new QCheckBox(tr("立体声"), panel), "chkStereo");

  auto* file = new QHBoxLayout;
  file->addWidget(txtFile_, 1);
  file->addWidget(cmdBrowse_);
  file->addWidget(Command3_);
  auto* format = new QHBoxLayout;
  format->addWidget(txtWAVFmt_, 1);
  format->addWidget(cmdSelFmt_);
  auto* rate = new QHBoxLayout;
  rate->addWidget(cboSamplerate_);
  rate->addSpacing(12);
  rate->addWidget(chkStereo_);
  rate->addStretch(1);

  grid->addWidget(Named(new QLabel(tr("文件:"), panel), "lblFile"), 0, 0);
  grid->addLayout(file, 0, 1);
  grid->addWidget(Named(new QLabel(tr("%1 格式:").arg("WAV"), panel), "lblWAVFmt"), 1, 0);
  grid->addLayout(format, 1, 1);
  grid->addWidget(Named(new QLabel(tr("取样:"), panel), "lblSamplerate"), 2, 0);
  grid->addLayout(rate, 2, 1);
  AddFileTypeRow(grid, panel, 3);
  grid->setColumnStretch(1, 1);
  return frame;
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
  grid->addWidget(meters_->Scale(), 3, 1);
  grid->addWidget(meters_->LoudnessLabel(), 4, 0, 1, 3);
  grid->setRowStretch(0, 1);
  grid->setColumnStretch(1, 1);
  return box;
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (cboSamplerate_ && watched == cboSamplerate_->lineEdit() && type == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (!RateKeyAccepted(cboSamplerate_->lineEdit()->text(), *key)) return true;  // discarded
  } else if (type == QEvent::Resize && watched == picFreq_) {
    surfFreq_->Resize(kSpectrumWidth, std::max(1, picFreq_->height()));
  } else if (type == QEvent::Resize) {
    auto* view = qobject_cast<PictureView*>(watched);
    if (watched == picAmpl_) {
      surfAmpl_->Resize(std::max(1, picAmpl_->width()), std::max(1, picAmpl_->height()));
      drawnBlock_ = UINT64_MAX;  // the cleared surface needs the waveform again
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- start-up and shutdown

void Form1::ConnectHandlers() {
  connect(cmdDo_, &QPushButton::clicked, this, &Form1::OnStartStopPressed);
  connect(cboSamplerate_, &QComboBox::activated, this, &Form1::OnRateChosen);
  connect(cboSamplerate_, &QComboBox::editTextChanged, this, &Form1::HandChoicesToRecorder);
  connect(chkStereo_, &QCheckBox::toggled, this, &Form1::OnStereoClicked);
  for (int k = 0; k < 4; ++k) {
    connect(chkFX_[k], &QCheckBox::toggled, this, [this, k] { OnEffectClicked(k); });
  }
  connect(cmdFXOpts_, &QPushButton::clicked, this, &Form1::ShowEffectsDialog);
  connect(cmdSchedule_, &QPushButton::clicked, this, [this] {
    if (schedule_) schedule_->ShowDialog();
  });
  connect(cmdSelFmt_, &QPushButton::clicked, this, &Form1::OnSelectFormatClicked);
  connect(cmdBrowse_, &QPushButton::clicked, this, &Form1::ChooseOutputFile);
  connect(txtFile_, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (!engine_) return;
    engine_->OutputFileChosen(S(text));
    // A typed name's extension decides the type, as a chosen type decides a picked name's.
    const auto named = FileTypes::OfPath(S(text));
    if (named && *named != clsEncoder_->Type()) {
      cboFileType_->setCurrentIndex(*named);
      OnFileTypeChosen(*named);
    }
  });
  connect(Command1_, &QPushButton::clicked, this, [] { About::ShowInstance(); });
  connect(Command2_, &QPushButton::clicked, this, [this] { ShellServices::OpenHelp(*services_.messages); });
  connect(Command3_, &QPushButton::clicked, this, [this] { ShellServices::OpenOutputFolder(*services_.messages); });
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
}

void Form1::HandChoicesToRecorder() {
  if (!engine_) return;
  engine_->FormatChosen(ChosenFormat());
  engine_->DeviceChosen(DeviceChosen());
  engine_->InputChanged(false);  // the monitor follows the rate and stereo
}

void Form1::FollowRecorderChoices() {
  input_->FollowRecorderDevice();
  if (cboFileType_->currentIndex() != clsEncoder_->Type()) {
    const QSignalBlocker blocker(cboFileType_);
    cboFileType_->setCurrentIndex(clsEncoder_->Type());
    ShowFormat();
  }
  txtFile_->setText(Q(engine_->OutputFile()));
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
  engine_->OutputFileShown = [this](const std::string& path) { txtFile_->setText(Q(path)); };
  engine_->ChoicesChanged = [this] { FollowRecorderChoices(); };
  input_->Attach(*clsRecorder_, *engine_, *services_.messages);
  input_->Notice = [this](const QString& text) { ShowNotice(text); };
  engine_->OnStateChanged([this](RecorderState state) { ShowState(state); });
  schedule_ = std::make_unique<ScheduleKeeper>(*engine_, *sbar_, *this, *services_.messages);
  tags_ = std::make_unique<TakeTagsKeeper>(*services_.messages, *this);
  tags_->NextTextsChanged = [this](const TakeTexts& texts) { engine_->TextsChanged(texts); };
  tags_->BusyChanged = [this](bool busy) { review_->TagsBusy(busy); };
  review_->TagsRequested = [this](const std::string& path, int32_t rate) { tags_->EditTake(path, rate); };
  RestoreChoices();  // before blnLoaded_: their handlers do nothing yet
  blnLoaded_ = true;
  ShowFormat();
  input_->RefreshDevices();
  input_->RestoreDevice(settings_->Values());
  WatchChoices();
  HandChoicesToRecorder();
  sourceWatcher_ = std::make_unique<SourceWatcher>();
  sourceWatcher_->SourcesChanged = [this] { input_->RefreshDevices(); };
  ShowFormatInEffects();

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
  if (waitingOnEngine_ > 0) {
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
  // Hiding or destroying the window takes the focus from the rate box, which
  // then reports a listed rate in its text as chosen: no format is chosen now.
  cboSamplerate_->disconnect(this);
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
  cboSamplerate_->setCurrentText(QString::number(remembered.Whole(RecorderSettings::Key::Rate)));
  chkStereo_->setChecked(remembered.Flag(RecorderSettings::Key::Stereo));
  RestoreFileType(remembered.Text(RecorderSettings::Key::FileType));
  RestoreWavFormat();
  RestoreCompressedSettings();
  RestoreEffects();
  schedule_->HandsFree(remembered.HandsFree());
  input_->RestoreMonitoring(remembered);
}

void Form1::RestoreFileType(const QString& name) {
  const std::optional<FileTypes::FileType> type = FileTypes::Named(name.toStdString());
  if (!type) return;
  clsEncoder_->Type(*type);  // idle, no file open: never refused
  cboFileType_->setCurrentIndex(*type);
}

void Form1::RestoreWavFormat() {
  const RecorderSettings& remembered = settings_->Values();
  const QString tag = remembered.Text(RecorderSettings::Key::WavFormatTag);
  const std::optional<RecordingFormat> format = ChosenFormat();
  if (tag.isEmpty() || !format) return;
  RememberedFormat chooser(S(tag), S(remembered.Text(RecorderSettings::Key::WavFormat)));
  Encoder().SelectFormat(format->rate, format->channels, chooser, {});  // not listed now: the default stays
}

void Form1::RestoreCompressedSettings() {
  for (const FileTypes::Row& type : FileTypes::kRows) {
    MuxedEncoder* encoder = clsEncoder_->Compressed(type.type);
    const std::optional<int32_t> setting = settings_->Values().CompressedSetting(type.type);
    if (!encoder || !setting) continue;
    try {
      encoder->Setting(*setting);  // idle, no file open
    } catch (const AppError&) {
      // Not one of the type's choices (another version's, or edited): its default stays.
    }
  }
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
  connect(cboSamplerate_, &QComboBox::activated, this, remember);
  connect(chkStereo_, &QCheckBox::toggled, this, remember);
  connect(cboFileType_, &QComboBox::activated, this, remember);
  connect(txtFile_, &QLineEdit::textEdited, this, remember);  // a typed extension may change the type
  connect(cmdSelFmt_, &QPushButton::clicked, this, remember);
  for (QCheckBox* box : chkFX_) connect(box, &QCheckBox::toggled, this, remember);
  schedule_->HandsFreeChosen = remember;
}

void Form1::RememberChoices() {
  if (!blnLoaded_ || unloaded_) return;
  RecorderSettings& remembered = settings_->Values();
  using Key = RecorderSettings::Key;
  input_->Remember(remembered);
  if (const std::optional<RecordingFormat> format = ChosenFormat()) remembered.Set(Key::Rate, format->rate);
  remembered.SetFlag(Key::Stereo, Stereo());
  remembered.Set(Key::FileType, QString::fromLatin1(FileTypes::Of(clsEncoder_->Type()).name));
  remembered.Set(Key::WavFormatTag, Q(Encoder().FormatTag()));
  remembered.Set(Key::WavFormat, Q(Encoder().FormatID()));
  for (const FileTypes::Row& type : FileTypes::kRows) {
    if (const MuxedEncoder* encoder = clsEncoder_->Compressed(type.type)) {
      remembered.CompressedSetting(type.type, encoder->ChosenSetting());
    }
  }
  remembered.Effects(clsEffects_.Settings());
  remembered.HandsFree(schedule_->HandsFree());
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

std::string Form1::OutputFile() const { return S(txtFile_->text()); }
std::string Form1::RateText() const { return S(cboSamplerate_->currentText()); }
bool Form1::Stereo() const { return chkStereo_->isChecked(); }
bool Form1::DeviceChosen() const { return input_->DeviceChosen(); }

// ---------------------------------------------------------------- input

void Form1::ShowWarning(const std::string& text) {
  services_.messages->ShowWarning(RecordingController::kAppCaption, text);
}

// ---------------------------------------------------------------- output

void Form1::OnRateChosen() {
  if (!blnLoaded_) return;
  HandChoicesToRecorder();
  ChooseFormat();
  ShowFormatInEffects();
}

void Form1::OnStereoClicked() {
  if (!blnLoaded_) return;
  HandChoicesToRecorder();
  ChooseFormat();
  ShowFormatInEffects();
}

void Form1::ShowFormatInEffects() {
  // The effects dialog's model draws its bands for the chosen format; a rate
  // no recording can use was refused by ChooseFormat and changes nothing. The
  // format holds only values the chain takes, so neither setter throws.
  const std::optional<RecordingFormat> format = ChosenFormat();
  if (format) clsEffects_.samplerate(format->rate);
  clsEffects_.Channels(Stereo() ? 2 : 1);
}

std::optional<RecordingFormat> Form1::ChosenFormat() const {
  return RecordingFormat::FromChoices(RateText(), Stereo());
}

void Form1::ChooseFormat() {
  const std::optional<RecordingFormat> format = ChosenFormat();
  // A compressed type's setting holds for every rate; the text may change with the channels.
  if (clsEncoder_->Compressed()) {
    if (format) FollowWavFormat(*format);
    ShowFormat();
    return;
  }
  if (!format) {
    // A typed rate the chooser cannot list formats for, nor a recording use.
    ShowWarning(RecordingController::BadRateMessage());
    return;
  }
  Encoder().SelectFormat(format->rate, format->channels, *services_.formatChooser, S(tr(kFormatTitle)));
  ShowFormat();
}

void Form1::FollowWavFormat(const RecordingFormat& format) {
  // Unasked, with the coding kept: a WAV take started later by any door records the rate and channels shown.
  FollowingFormat chooser(Encoder().FormatTag(), Encoder().TargetFormat());
  Encoder().SelectFormat(format.rate, format.channels, chooser, {});
}

void Form1::ShowFormat() {
  const std::string type = FileTypes::Of(clsEncoder_->Type()).caption;
  // "WAV 格式:" as always for WAV; the other types name themselves the same way.
  if (auto* label = findChild<QLabel*>("lblWAVFmt")) label->setText(tr("%1 格式:").arg(Q(type)));
  if (MuxedEncoder* compressed = clsEncoder_->Compressed()) {
    txtWAVFmt_->setText(Q(type + " - " + compressed->SettingText(Stereo() ? 2 : 1)));
    return;
  }
  txtWAVFmt_->setText(Q(Encoder().FormatTag() + " - " + Encoder().FormatID()));
}

EncoderWAV& Form1::Encoder() { return clsEncoder_->WAV(); }

void Form1::AddFileTypeRow(QGridLayout* grid, QWidget* panel, int row) {
  cboFileType_ = Named(new QComboBox(panel), "cboFileType");
  for (const FileTypes::Row& type : FileTypes::kRows) cboFileType_->addItem(QString::fromLatin1(type.caption));
  cboFileType_->setCurrentIndex(EncoderSelection::TYPE_WAV);
  auto* line = new QHBoxLayout;
  line->addWidget(cboFileType_);
  line->addStretch(1);
  grid->addWidget(Named(new QLabel(tr("文件类型:"), panel), "lblFileType"), row, 0);
  grid->addLayout(line, row, 1);
  connect(cboFileType_, &QComboBox::activated, this, &Form1::OnFileTypeChosen);
}

void Form1::OnFileTypeChosen(int index) {
  if (!blnLoaded_) return;
  const QString oldSuffix = "." + Q(clsEncoder_->Extension());
  // The box sits in frmOut, disabled while recording; a file is finished by the type that opened it.
  // The encoder refuses while its file is open: the monitor shows Idle while a stop the recording
  // thread began itself (encoder failure, device lost) still finishes the file.
  const auto type = static_cast<EncoderSelection::FileType>(index);
  if (!AtRest(engine_->State()) ||
      !AppErrorBox::Run(*services_.messages, [&] { clsEncoder_->Type(type); })) {
    const QSignalBlocker blocker(cboFileType_);
    cboFileType_->setCurrentIndex(clsEncoder_->Type());
    return;
  }
  ShowFormat();
  ++waitingOnEngine_;
  engine_->FileTypeChanged();
  --waitingOnEngine_;
  // A file the user named keeps its name, with the new type's extension for the old one.
  const QString file = txtFile_->text();
  if (file != engine_->Controller().Counter().NextFileName() && file.endsWith(oldSuffix, Qt::CaseInsensitive)) {
    ChooseOutput(file.chopped(oldSuffix.size()) + "." + Q(clsEncoder_->Extension()));
  }
}

void Form1::ChooseOutput(const QString& path) {
  txtFile_->setText(path);
  engine_->OutputFileChosen(S(path));
}

void Form1::OnSelectFormatClicked() {
  if (MuxedEncoder* compressed = clsEncoder_->Compressed()) {
    ChooseSetting(*compressed);
  } else {
    ChooseFormat();
  }
}

void Form1::ChooseSetting(MuxedEncoder& encoder) {
  const int16_t channels = Stereo() ? 2 : 1;
  const auto chosen =
      services_.settingChooser->Choose(encoder.SettingChoices(), encoder.SettingFor(channels), S(tr(kFormatTitle)));
  // Refused while a file is open: a recording can start while the chooser is up (tray menu).
  if (chosen) AppErrorBox::Run(*services_.messages, [&] { encoder.Setting(*chosen); });
  ShowFormat();
}

void Form1::ChooseOutputFile() {
  const std::string ext = "*." + clsEncoder_->Extension();
  const std::string name = services_.fileDialog->AskFileName(clsEncoder_->Description() + " (" + ext + ")|" + ext);
  if (name.empty()) return;
  const QString path = WithSuffix(Q(name), Q(clsEncoder_->Extension()));
  // Asked here, about the file that will be written, not by the dialog about the typed name.
  const QFileInfo target(path);
  if (target.exists() || target.isSymLink()) {
    const std::string file = S(path);
    if (!services_.questions ||
        !services_.questions->AskYesNo(RecordingController::CheckCaption(), RecordingController::ReplaceQuestion(file))) {
      return;
    }
    engine_->ReplaceConfirmed(file);
  }
  ChooseOutput(path);
}

QString Form1::WithSuffix(const QString& name, const QString& extension) {
  const QString suffix = "." + extension;
  return name.endsWith(suffix, Qt::CaseInsensitive) ? name : name + suffix;
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
  const bool recording = engine_->State() != RecorderState::Idle;
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
