#include "app/windows/SecondInputChooser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <cmath>

#include "app/recording/RecorderSettings.h"
#include "capture/WaveInRecorder.h"

namespace {

QString Q(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

}  // namespace

SecondInputChooser::SecondInputChooser(QGroupBox& frame) : QObject(&frame), frame_(frame) {
  auto* grid = qobject_cast<QGridLayout*>(frame.layout());
  const int row = grid->rowCount();
  BuildDeviceRow(*grid, row);
  details_ = BuildDetails();
  grid->addWidget(details_, row + 1, 0, 1, grid->columnCount());
  details_->hide();
}

void SecondInputChooser::BuildDeviceRow(QGridLayout& grid, int row) {
  cboDev2_ = Named(new QComboBox(&frame_), "cboDev2");
  cboDev2_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  cboDev2_->setMinimumContentsLength(10);
  cboDev2_->addItem(tr("无"));
  cboDev2_->setToolTip(tr("与上面的设备同时录音的第二个设备, 如电脑播放的声音"));
  cmdComputerSound_ = Named(new QPushButton(tr("电脑声音"), &frame_), "cmdComputerSound");
  cmdComputerSound_->setToolTip(tr("选择默认输出的监听源: 电脑播放的一切声音"));
  auto* line = new QHBoxLayout;
  line->setSpacing(8);
  line->addWidget(cboDev2_, 1);
  line->addWidget(cmdComputerSound_);
  grid.addWidget(Named(new QLabel(tr("第二输入:"), &frame_), "lblDev2"), row, 0);
  grid.addLayout(line, row, 1, 1, grid.columnCount() - 1);
  connect(cboDev2_, &QComboBox::activated, this, [this] {
    OnDeviceChosen();
    Changed();
  });
  connect(cmdComputerSound_, &QPushButton::clicked, this, &SecondInputChooser::ChooseComputerSound);
}

QWidget* SecondInputChooser::BuildDetails() {
  auto* details = Named(new QWidget(&frame_), "pnlSecondInput");
  auto* grid = new QGridLayout(details);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(8);
  const auto gain = [details](const char* name) {
    auto* spin = Named(new QDoubleSpinBox(details), name);
    spin->setRange(SecondInputSettings::kLowestGainDb, SecondInputSettings::kHighestGainDb);
    spin->setDecimals(0);
    spin->setSuffix(QStringLiteral(" dB"));
    return spin;
  };
  spnGain1_ = gain("spnGain1");
  spnGain2_ = gain("spnGain2");
  spnGain1_->setToolTip(tr("第一输入在混音中的增益"));
  spnGain2_->setToolTip(tr("第二输入在混音中的增益"));
  auto* gains = new QHBoxLayout;
  gains->setSpacing(8);
  gains->addWidget(Named(new QLabel(tr("第一:"), details), "lblGain1"));
  gains->addWidget(spnGain1_);
  gains->addWidget(Named(new QLabel(tr("第二:"), details), "lblGain2"));
  gains->addWidget(spnGain2_);
  gains->addStretch(1);
  grid->addWidget(Named(new QLabel(tr("增益:"), details), "lblGain"), 0, 0);
  grid->addLayout(gains, 0, 1);

  cboTracks_ = Named(new QComboBox(details), "cboTracks");
  cboTracks_->addItem(tr("混合"), static_cast<int>(TrackLayout::Mix));
  cboTracks_->addItem(tr("分开"), static_cast<int>(TrackLayout::Separate));
  cboTracks_->addItem(tr("两者"), static_cast<int>(TrackLayout::Both));
  cboTracks_->setToolTip(tr("混合: 一个文件; 分开: 每路输入一个文件; 两者: 混合的文件和每路输入的文件"));
  auto* tracks = new QHBoxLayout;
  tracks->setSpacing(8);
  tracks->addWidget(cboTracks_);
  tracks->addStretch(1);
  grid->addWidget(Named(new QLabel(tr("轨道:"), details), "lblTracks"), 1, 0);
  grid->addLayout(tracks, 1, 1);

  chkRemoveComputer_ = Named(new QCheckBox(tr("从麦克风中去除电脑声音"), details), "chkRemoveComputer");
  chkRemoveComputer_->setToolTip(tr("电脑播放的声音 (第二输入) 从第一输入中去除, 如扬声器传进麦克风的回声"));
  lblEchoDelay_ = Named(new QLabel(details), "lblEchoDelay");
  lblEchoDelay_->hide();  // until a take's canceller has an estimate
  auto* removal = new QHBoxLayout;
  removal->setSpacing(8);
  removal->addWidget(chkRemoveComputer_);
  removal->addWidget(lblEchoDelay_, 1);
  grid->addLayout(removal, 2, 0, 1, 2);
  grid->setColumnStretch(1, 1);

  for (QDoubleSpinBox* spin : {spnGain1_, spnGain2_}) connect(spin, &QDoubleSpinBox::valueChanged, this, [this] { Changed(); });
  connect(cboTracks_, &QComboBox::activated, this, [this] { Changed(); });
  connect(chkRemoveComputer_, &QCheckBox::toggled, this, [this] { Changed(); });
  return details;
}

void SecondInputChooser::ShowEchoDelay(std::optional<double> ms) {
  const QString text = ms ? tr("回声延迟 %1 ms").arg(std::lround(*ms)) : QString();
  if (lblEchoDelay_->text() == text) return;
  lblEchoDelay_->setText(text);
  lblEchoDelay_->setVisible(!text.isEmpty());
}

QList<QWidget*> SecondInputChooser::TabOrder() const {
  return {cboDev2_, cmdComputerSound_, spnGain1_, spnGain2_, cboTracks_, chkRemoveComputer_};
}

SecondInputSettings SecondInputChooser::Settings() const {
  return {.sourceName = sourceName_,
          .tracks = static_cast<TrackLayout>(cboTracks_->currentData().toInt()),
          .firstGainDb = spnGain1_->value(),
          .secondGainDb = spnGain2_->value(),
          .removeComputerSound = chkRemoveComputer_->isChecked()};
}

void SecondInputChooser::RefreshDevices() {
  const QSignalBlocker blocker(cboDev2_);
  cboDev2_->clear();
  cboDev2_->addItem(tr("无"));
  const int32_t count = devices_->DeviceCount();
  int32_t shown = -1;
  for (int32_t i = 0; i < count; ++i) {
    const std::string source = devices_->DeviceSourceName(i);
    cboDev2_->addItem(Q(devices_->DeviceName(i)), Q(source));
    if (!sourceName_.empty() && source == sourceName_) shown = i;
  }
  ShowDevice(shown);
}

void SecondInputChooser::ShowDevice(int32_t index) {
  {
    const QSignalBlocker blocker(cboDev2_);
    cboDev2_->setCurrentIndex(index + 1);
  }
  sourceName_ = index < 0 ? std::string() : devices_->DeviceSourceName(index);
  details_->setVisible(index >= 0);
}

void SecondInputChooser::OnDeviceChosen() {
  goneSource_.clear();
  const int32_t index = cboDev2_->currentIndex() - 1;
  const bool other = index < 0 || devices_->DeviceSourceName(index) != sourceName_;
  ShowDevice(index);
  // A monitor hears the speakers the microphone hears too: their sound is taken out of it.
  if (other && index >= 0) {
    const QSignalBlocker blocker(chkRemoveComputer_);
    chkRemoveComputer_->setChecked(devices_->DeviceIsOutputMonitor(index));
  }
}

void SecondInputChooser::ChooseComputerSound() {
  if (!devices_) return;
  const int32_t monitor = devices_->DefaultOutputMonitorDevice();
  if (monitor < 0) {
    if (Notice) Notice(tr("找不到默认输出的监听源, 请在\"第二输入\"框中选择"));
    return;
  }
  {
    const QSignalBlocker blocker(cboDev2_);
    cboDev2_->setCurrentIndex(monitor + 1);
  }
  OnDeviceChosen();
  Changed();
}

void SecondInputChooser::Changed() {
  if (Notice) Notice({});
  if (Chosen) Chosen();
}

void SecondInputChooser::Restore(const RecorderSettings& remembered) {
  const SecondInputSettings settings = remembered.SecondInput();
  const QSignalBlocker gain1(spnGain1_), gain2(spnGain2_), remove(chkRemoveComputer_);
  spnGain1_->setValue(settings.firstGainDb);
  spnGain2_->setValue(settings.secondGainDb);
  cboTracks_->setCurrentIndex(cboTracks_->findData(static_cast<int>(settings.tracks)));
  chkRemoveComputer_->setChecked(settings.removeComputerSound);
  sourceName_ = settings.sourceName;
  RefreshDevices();
  if (settings.Active() && sourceName_.empty()) goneSource_ = settings.sourceName;
  if (!goneSource_.empty() && Notice) {
    const QString name = remembered.Text(RecorderSettings::Key::SecondDeviceName);
    Notice(tr("上次的第二输入 \"%1\" 已不在, 请在\"第二输入\"框中另选一个")
               .arg(name.isEmpty() ? Q(settings.sourceName) : name));
  }
}

void SecondInputChooser::Remember(RecorderSettings& remembered) const {
  SecondInputSettings settings = Settings();
  // A device that is gone stays remembered until another choice is made here.
  if (!goneSource_.empty()) settings.sourceName = goneSource_;
  settings.gateOnEither = remembered.Flag(RecorderSettings::Key::GateOnEither);  // the schedule page's
  remembered.SecondInput(settings);
  if (goneSource_.empty()) {
    remembered.Set(RecorderSettings::Key::SecondDeviceName, sourceName_.empty() ? QString() : cboDev2_->currentText());
  }
}
