#include "app/windows/InputChooser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <algorithm>

#include "app/recording/RecorderSettings.h"
#include "app/recording/RecordingController.h"
#include "app/recording/RecordingEngine.h"
#include "app/windows/SpokenSlider.h"
#include "capture/WaveInRecorder.h"
#include "common/MessageBoxService.h"

namespace {

constexpr int32_t kFullLevel = 65536;  // record level of 100 %, raw
constexpr int kMaxPreRecordSeconds = 600;

QString Q(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

// The level label's percentage of a slider position (whole percent, rounded down).
int VolumePercent(int32_t value, int32_t maximum) {
  return static_cast<int>(static_cast<double>(value) / maximum * 100.0);
}

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

}  // namespace

InputChooser::InputChooser(QWidget& central) : QObject(&central), central_(central) { BuildFrame(); }

void InputChooser::BuildFrame() {
  frame_ = Named(new QGroupBox(tr("输入")), "frmInp");
  auto* grid = new QGridLayout(frame_);
  grid->setHorizontalSpacing(8);
  cboDev_ = Named(new QComboBox(frame_), "cboDev");
  cboDev_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  cboDev_->setMinimumContentsLength(16);
  lblVolPer_ = Named(new QLabel("100%", frame_), "lblVolPer");
  lblVolPer_->setMinimumWidth(lblVolPer_->fontMetrics().horizontalAdvance("100%") + 4);
  lblVolPer_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lineSlot_ = new QWidget(frame_);
  volSlot_ = new QWidget(frame_);
  grid->addWidget(Named(new QLabel(tr("设备:"), frame_), "lblDev"), 0, 0);
  grid->addWidget(cboDev_, 0, 1, 1, 2);
  grid->addWidget(Named(new QLabel(tr("线路:"), frame_), "lblLine"), 1, 0);
  grid->addWidget(lineSlot_, 1, 1, 1, 2);
  grid->addWidget(Named(new QLabel(tr("声音:"), frame_), "lblVol"), 2, 0);
  grid->addWidget(volSlot_, 2, 1);
  grid->addWidget(lblVolPer_, 2, 2);
  AddMonitorRow(grid, 3);
  grid->setColumnStretch(1, 1);
  connect(cboDev_, &QComboBox::activated, this, [this] {
    OnDeviceChosen();
    if (Notice) Notice({});  // a device gone is news no more
    if (Chosen) Chosen();
  });
}

void InputChooser::AddMonitorRow(QGridLayout* grid, int row) {
  chkMonitor_ = Named(new QCheckBox(tr("监听输入"), frame_), "chkMonitor");
  chkMonitor_->setChecked(true);
  chkMonitor_->setToolTip(tr("选好设备后就打开输入, 录音前即可看到电平"));
  spnPreRecord_ = Named(new QSpinBox(frame_), "spnPreRecord");
  spnPreRecord_->setRange(0, kMaxPreRecordSeconds);
  spnPreRecord_->setSuffix(tr(" 秒"));
  spnPreRecord_->setToolTip(tr("开始录音时, 文件从按下之前这么多秒开始 (需要监听输入)"));
  auto* row_ = new QHBoxLayout;
  row_->setSpacing(8);
  row_->addWidget(chkMonitor_);
  row_->addStretch(1);
  row_->addWidget(Named(new QLabel(tr("预录:"), frame_), "lblPreRecord"));
  row_->addWidget(spnPreRecord_);
  grid->addLayout(row_, row, 0, 1, 3);
  const auto changed = [this] {
    spnPreRecord_->setEnabled(chkMonitor_->isChecked());
    Monitor();
    if (Chosen) Chosen();
  };
  connect(chkMonitor_, &QCheckBox::toggled, this, changed);
  connect(spnPreRecord_, &QSpinBox::valueChanged, this, changed);
}

void InputChooser::AddOverlays() {
  cboRecLine_ = Named(new QComboBox(&central_), "cboRecLine");
  sldVol_ = Named(new QSlider(Qt::Horizontal, &central_), "sldVol");
  sldVol_->setRange(0, 65535);
  sldVol_->setSingleStep(1);
  sldVol_->setPageStep(2000);
  sldVol_->setTickPosition(QSlider::NoTicks);
  sldVol_->setValue(0);
  lineSlot_->setFixedHeight(cboRecLine_->sizeHint().height());
  volSlot_->setFixedHeight(std::max(sldVol_->sizeHint().height(), cboRecLine_->sizeHint().height()));
  for (QObject* watched : {static_cast<QObject*>(frame_), static_cast<QObject*>(lineSlot_),
                           static_cast<QObject*>(volSlot_)}) {
    watched->installEventFilter(this);
  }
  connect(cboRecLine_, &QComboBox::activated, this, [this] {
    OnLineChosen();
    if (engine_) engine_->InputChanged(false);
    if (Chosen) Chosen();
  });
  connect(sldVol_, &QSlider::valueChanged, this, &InputChooser::ApplyVolume);
  DescribeVolume();
}

QList<QWidget*> InputChooser::TabOrder() const { return {cboDev_, cboRecLine_, sldVol_, chkMonitor_, spnPreRecord_}; }

void InputChooser::Attach(WaveInRecorder& recorder, RecordingEngine& recorderEngine, MessageBoxService& messages) {
  recorder_ = &recorder;
  engine_ = &recorderEngine;
  messages_ = &messages;
}

void InputChooser::DescribeVolume() {
  // Spoken as the label beside it reads: a percentage, 100 % before a device is chosen.
  const int32_t maximum = sldVol_->maximum();
  SpokenSlider::Units percent{[maximum](int step) { return VolumePercent(step, maximum); }, 0, QStringLiteral("%"),
                              [this] { return lblVolPer_->text().chopped(1).toDouble(); }};
  SpokenSlider::Describe(*sldVol_, std::move(percent));
}

void InputChooser::PlaceOverlays() {
  if (!cboRecLine_) return;
  cboRecLine_->setGeometry(QRect(lineSlot_->mapTo(&central_, QPoint(0, 0)), lineSlot_->size()));
  const QSize volSize(volSlot_->width(), sldVol_->sizeHint().height());
  const QPoint volTop = volSlot_->mapTo(&central_, QPoint(0, (volSlot_->height() - volSize.height()) / 2));
  sldVol_->setGeometry(QRect(volTop, volSize));
  cboRecLine_->raise();
  sldVol_->raise();
}

bool InputChooser::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show) PlaceOverlays();
  return QObject::eventFilter(watched, event);
}

bool InputChooser::DeviceChosen() const {
  return recorder_ && cboDev_->currentIndex() >= 0 && recorder_->SelectedDevice() == cboDev_->currentIndex();
}

void InputChooser::FocusDevice() { cboDev_->setFocus(); }

void InputChooser::ShowWarning(const QString& text) {
  if (messages_) messages_->ShowWarning(RecordingController::kAppCaption, text.toStdString());
}

void InputChooser::RefreshDevices() {
  const QString chosen = cboDev_->currentIndex() >= 0 ? cboDev_->currentText() : QString();
  const QSignalBlocker blocker(cboDev_);
  const int32_t count = recorder_->DeviceCount();
  cboDev_->clear();
  for (int32_t i = 0; i < count; ++i) cboDev_->addItem(Q(recorder_->DeviceName(i)));
  const int found = chosen.isEmpty() ? -1 : cboDev_->findText(chosen);
  cboDev_->setCurrentIndex(found);
  if (found >= 0) {
    // Positions may have moved; the engine records by the source itself.
    // Refused while idle: nothing is shown, so nothing else is recorded (DeviceChosen refuses too).
    const bool refused = recorder_->SelectedDevice() != found && !recorder_->SelectDevice(found);
    if (refused && AtRest(engine_->State())) ShowNoDevice();
  } else if (!chosen.isEmpty() && AtRest(engine_->State())) {
    cboRecLine_->clear();  // its device is gone; a running recording or the monitor is stopped by DeviceLost
  }
  // An empty box that stays empty tells nothing: a door's start may have
  // chosen a device the box shows only once that start's news arrives.
  if (!chosen.isEmpty()) engine_->DeviceChosen(DeviceChosen());
}

void InputChooser::OnDeviceChosen() {
  if (!recorder_) return;
  cboRecLine_->clear();
  if (!recorder_->SelectDevice(cboDev_->currentIndex())) {
    ShowNoDevice();
    HandDeviceToRecorder();
    ShowWarning(tr("Couldn't select device!"));
  } else {
    FillLines();
    HandDeviceToRecorder();
  }
}

void InputChooser::HandDeviceToRecorder() {
  engine_->DeviceChosen(DeviceChosen());
  engine_->InputChanged(true);
}

void InputChooser::ShowNoDevice() {
  // The recorder has none selected now: the box says so, and a start is refused until one is chosen.
  const QSignalBlocker blocker(cboDev_);
  cboDev_->setCurrentIndex(-1);
  cboRecLine_->clear();
}

void InputChooser::FillLines() {
  cboRecLine_->clear();
  const int32_t count = recorder_->MixerLineCount();
  for (int32_t i = 0; i < count; ++i) cboRecLine_->addItem(Q(recorder_->MixerLineName(i)));
  const int32_t selected = recorder_->SelectedMixerLine();
  cboRecLine_->setCurrentIndex(selected);
  if (selected >= 0 && selected < count) OnLineChosen();  // as the user's choice would
}

void InputChooser::OnLineChosen() {
  if (!recorder_->SelectMixerLine(cboRecLine_->currentIndex())) ShowWarning(tr("Couldn't select mixer line!"));
  {
    const QSignalBlocker blocker(sldVol_);  // ApplyVolume runs once, below
    sldVol_->setValue(std::clamp<int32_t>(recorder_->MixerLineVolume(), sldVol_->minimum(), sldVol_->maximum()));
  }
  ApplyVolume();
}

void InputChooser::ApplyVolume() {
  // The slider's maximum means full level: the server's unity is 65536, one
  // above the slider's range, and 65535 would scale every sample slightly.
  const int32_t value = sldVol_->value();
  if (recorder_) recorder_->MixerLineVolume(value == sldVol_->maximum() ? kFullLevel : value);
  lblVolPer_->setText(QString::number(VolumePercent(sldVol_->value(), sldVol_->maximum())) + "%");
}

void InputChooser::FollowRecorderDevice() {
  const int32_t device = recorder_->SelectedDevice();
  if (device == cboDev_->currentIndex()) return;
  {
    const QSignalBlocker blocker(cboDev_);
    cboDev_->setCurrentIndex(device);
  }
  FillLines();
}

void InputChooser::RestoreMonitoring(const RecorderSettings& remembered) {
  const QSignalBlocker monitorBlocker(chkMonitor_);
  const QSignalBlocker preRecordBlocker(spnPreRecord_);
  chkMonitor_->setChecked(remembered.MonitorInput());
  spnPreRecord_->setValue(remembered.PreRecordSeconds());
  spnPreRecord_->setEnabled(chkMonitor_->isChecked());
}

void InputChooser::RestoreDevice(const RecorderSettings& remembered) {
  const QString source = remembered.Text(RecorderSettings::Key::Device);
  if (source.isEmpty()) return;
  for (int32_t i = 0; i < cboDev_->count(); ++i) {
    if (Q(recorder_->DeviceSourceName(i)) != source) continue;
    cboDev_->setCurrentIndex(i);
    OnDeviceChosen();
    RestoreLine(remembered.Text(RecorderSettings::Key::Line));
    return;
  }
  const QString name = remembered.Text(RecorderSettings::Key::DeviceName);
  if (Notice) Notice(tr("上次使用的录音设备 \"%1\" 已不在, 请在\"设备\"框中另选一个").arg(name.isEmpty() ? source : name));
}

void InputChooser::RestoreLine(const QString& name) {
  const int line = cboRecLine_->findText(name);
  if (line < 0 || line == cboRecLine_->currentIndex()) return;
  cboRecLine_->setCurrentIndex(line);
  OnLineChosen();
}

void InputChooser::Remember(RecorderSettings& remembered) const {
  using Key = RecorderSettings::Key;
  // A device that is gone stays remembered until another one is chosen.
  if (DeviceChosen()) {
    remembered.Set(Key::Device, Q(recorder_->DeviceSourceName(cboDev_->currentIndex())));
    remembered.Set(Key::DeviceName, cboDev_->currentText());
    remembered.Set(Key::Line, cboRecLine_->currentText());
  }
  remembered.SetFlag(Key::MonitorInput, chkMonitor_->isChecked());
  remembered.Set(Key::PreRecordSeconds, spnPreRecord_->value());
}

void InputChooser::Monitor() {
  if (engine_) engine_->Monitor(chkMonitor_->isChecked(), spnPreRecord_->value());
}
