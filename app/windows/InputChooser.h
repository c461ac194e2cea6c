// InputChooser: the window's input group "输入": device box (cboDev), line box
// (cboRecLine), record level (sldVol with lblVolPer), the monitor checkbox
// (chkMonitor, "监听输入") and the pre-record field (spnPreRecord, 0 .. 600 s).
// It selects the device, line and level on the capture engine, keeps the
// recorder's monitor following them, and puts back and keeps the remembered
// choices. cboRecLine and sldVol sit over the frame but are children of the
// window's central widget, so they stay usable while a recording disables the
// frame. Window's thread only.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class MessageBoxService;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QSlider;
class QSpinBox;
class QWidget;
class RecorderSettings;
class RecordingEngine;
class WaveInRecorder;

class InputChooser : public QObject {
  Q_OBJECT

 public:
  // Builds the frame (Frame); the line box and level slider over it come with AddOverlays.
  explicit InputChooser(QWidget& central);

  QGroupBox* Frame() const { return frame_; }
  // The line box and level slider, children of the central widget, after the window's other controls.
  void AddOverlays();
  // Reading order: device, line, level, monitor, pre-record.
  QList<QWidget*> TabOrder() const;
  // The capture engine and the recorder, once the window has them (Load); all outlive this.
  void Attach(WaveInRecorder& recorder, RecordingEngine& recorderEngine, MessageBoxService& messages);

  // Heard after every choice the user made here (to keep it).
  std::function<void()> Chosen;
  // A one-line notice for the status bar (empty: none).
  std::function<void(const QString&)> Notice;

  // Only the device shown may be recorded: with none selected the recorder would take the default input.
  bool DeviceChosen() const;
  // The focus goes to the device box (a start with none chosen).
  void FocusDevice();
  // The device list as the server has it now; the chosen device stays chosen while it exists.
  void RefreshDevices();
  // Another door chose a device: the boxes show it.
  void FollowRecorderDevice();

  // Monitor and pre-record as remembered (quietly: before the window is loaded).
  void RestoreMonitoring(const RecorderSettings& remembered);
  // The remembered device when the server has it (by its source name), else
  // the box stays empty and the notice names the device that is gone.
  void RestoreDevice(const RecorderSettings& remembered);
  void Remember(RecorderSettings& remembered) const;
  // The monitor as the checkbox and the pre-record field say.
  void Monitor();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildFrame();
  // The monitor checkbox and the pre-record field, in `row` of the frame's grid.
  void AddMonitorRow(class QGridLayout* grid, int row);
  void DescribeVolume();
  void PlaceOverlays();
  void FillLines();
  void OnDeviceChosen();
  // No device is selected (a choice the server refused): none is shown.
  void ShowNoDevice();
  void OnLineChosen();
  void ApplyVolume();
  void RestoreLine(const QString& name);
  // The device choice goes to the recorder, whose monitor reopens on it.
  void HandDeviceToRecorder();
  void ShowWarning(const QString& text);

  WaveInRecorder* recorder_ = nullptr;
  RecordingEngine* engine_ = nullptr;
  MessageBoxService* messages_ = nullptr;
  QWidget& central_;
  QGroupBox* frame_ = nullptr;
  QComboBox* cboDev_ = nullptr;
  QComboBox* cboRecLine_ = nullptr;
  QSlider* sldVol_ = nullptr;
  QLabel* lblVolPer_ = nullptr;
  QCheckBox* chkMonitor_ = nullptr;
  QSpinBox* spnPreRecord_ = nullptr;
  QWidget* lineSlot_ = nullptr;  // where cboRecLine is placed over the frame
  QWidget* volSlot_ = nullptr;   // where sldVol is placed over the frame
};
