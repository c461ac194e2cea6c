// SecondInputChooser: the second input's rows in the window's input group: its
// device box (cboDev2, "无" or any source, monitors included) with the
// "电脑声音" button (cmdComputerSound: the default output's monitor in one
// click), and, once a device is chosen, the gains of both inputs in the mix
// (spnGain1, spnGain2), where the tracks go (cboTracks) and the
// removal of the computer's sound from the first input (chkRemoveComputer, on
// by default for a monitor). With "无" the group looks as it does with one
// input but for the device row. Window's thread only.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "app/recording/SecondInputSettings.h"

class QCheckBox;
class QLabel;
class QComboBox;
class QDoubleSpinBox;
class QGridLayout;
class QGroupBox;
class QPushButton;
class QWidget;
class RecorderSettings;
class WaveInRecorder;

class SecondInputChooser : public QObject {
  Q_OBJECT

 public:
  // Adds its rows below the rows `frame`'s grid has.
  explicit SecondInputChooser(QGroupBox& frame);

  // Reading order: device, computer sound, gains, tracks, one file, removal.
  QList<QWidget*> TabOrder() const;
  // The device list's source, once the window has it (Load); it outlives this.
  void Attach(WaveInRecorder& devices) { devices_ = &devices; }

  // Heard after every choice the user made here.
  std::function<void()> Chosen;
  // A one-line notice for the status bar.
  std::function<void(const QString&)> Notice;

  // The choice as the boxes show it (gateOnEither is the schedule page's).
  SecondInputSettings Settings() const;
  // The device list as the server has it now (the first box's list); the
  // chosen device stays chosen while it exists, else none is.
  void RefreshDevices();
  // "电脑声音": the default output's monitor; a notice when the server has none.
  void ChooseComputerSound();

  // The echo's delay as the running take's canceller estimates it, beside
  // the removal's box ("回声延迟 42 ms"); none: nothing shown.
  void ShowEchoDelay(std::optional<double> ms);

  // As remembered (quietly); a device that is gone is named in the notice.
  void Restore(const RecorderSettings& remembered);
  void Remember(RecorderSettings& remembered) const;

 private:
  void BuildDeviceRow(QGridLayout& grid, int row);
  QWidget* BuildDetails();
  // `index` of the device list (-1: none) shown and its rows following it.
  void ShowDevice(int32_t index);
  void OnDeviceChosen();
  void Changed();

  QGroupBox& frame_;
  WaveInRecorder* devices_ = nullptr;
  std::string sourceName_;  // of the device shown; empty: none
  std::string goneSource_;  // remembered but not on the server at start-up
  QComboBox* cboDev2_ = nullptr;
  QPushButton* cmdComputerSound_ = nullptr;
  QWidget* details_ = nullptr;  // shown while a device is chosen
  QDoubleSpinBox* spnGain1_ = nullptr;
  QDoubleSpinBox* spnGain2_ = nullptr;
  QComboBox* cboTracks_ = nullptr;
  QCheckBox* chkRemoveComputer_ = nullptr;
  QLabel* lblEchoDelay_ = nullptr;
};
