// frmSchedule: the modal "定时/触发" page. When a recording starts (now, at a
// time, after a delay) and stops (by hand, after a duration, at a time, at a
// file size); sound activation (threshold, hold, pre-roll, hang, what silence
// does, which input it listens to); splitting the file every N minutes. The page keeps nothing itself: it
// is filled from the window's choices and read back when the user confirms.
// Every control's objectName is its role (optStartAt, spnThreshold ...). UI thread only.
#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "app/handsfree/HandsFreeSettings.h"
#include "app/handsfree/RecordingSchedule.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QDoubleSpinBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTimeEdit;

class frmSchedule : public QDialog {
  Q_OBJECT

 public:
  explicit frmSchedule(QWidget* parent = nullptr);
  ~frmSchedule() override;

  // Shows `plan` and `handsFree`; `armed`: a schedule is waiting or running,
  // which "取消定时" then cancels.
  void Load(const RecordingSchedule::Plan& plan, const HandsFreeSettings& handsFree, bool armed);
  // What the page holds now (times of day as entered, delays and durations in seconds).
  RecordingSchedule::Plan ChosenPlan() const;
  HandsFreeSettings ChosenHandsFree() const;
  // Whether sound activation listens to either of two inputs, or to the first only.
  void GateOnEither(bool either);
  bool GateOnEither() const;

  // "取消定时": the window cancels its schedule; the page stays open.
  std::function<void()> CancelSchedule;

  // OK: a plan that stops before it starts is refused, its reason shown on the page.
  void accept() override;

 private:
  QGroupBox* BuildScheduleGroup();
  QGroupBox* BuildSoundGroup();
  QGroupBox* BuildSplitGroup();
  QWidget* BuildButtons();
  // A radio button of `group` at `row` of `grid`, with `editor` (may be null) beside it.
  QAbstractButton* AddChoice(QGridLayout* grid, QButtonGroup* group, int id, const char* name,
                             const QString& caption, QWidget* editor, int row);
  QTimeEdit* MakeDurationEdit(const char* name);
  QDateTimeEdit* MakeTimeEdit(const char* name);
  void FollowChoices();

  QButtonGroup* startGroup_ = nullptr;
  QButtonGroup* stopGroup_ = nullptr;
  QDateTimeEdit* dtpStartAt_ = nullptr;
  QTimeEdit* timStartDelay_ = nullptr;
  QTimeEdit* timStopAfter_ = nullptr;
  QDateTimeEdit* dtpStopAt_ = nullptr;
  QSpinBox* spnStopSize_ = nullptr;  // MiB

  QGroupBox* grpSound_ = nullptr;  // checkable: sound activation on/off
  QDoubleSpinBox* spnThreshold_ = nullptr;
  QDoubleSpinBox* spnHold_ = nullptr;
  QDoubleSpinBox* spnPreRoll_ = nullptr;
  QDoubleSpinBox* spnHang_ = nullptr;
  QComboBox* cboAfterSilence_ = nullptr;
  QComboBox* cboGateInput_ = nullptr;  // the first input, or either of two

  QCheckBox* chkSplit_ = nullptr;
  QSpinBox* spnSplitMinutes_ = nullptr;

  QPushButton* cmdCancelSchedule_ = nullptr;
  QLabel* lblScheduleProblem_ = nullptr;  // why OK refused the plan; hidden while there is none
};
