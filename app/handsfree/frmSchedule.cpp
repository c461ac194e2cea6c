#include "app/handsfree/frmSchedule.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "app/windows/AccessibleComboBox.h"
#include "app/windows/AccessibleNames.h"
#include "app/windows/DialogButtons.h"

namespace {

using Plan = RecordingSchedule::Plan;
using std::chrono::seconds;

constexpr int64_t kBytesPerMiB = 1024 * 1024;
constexpr int kMaxStopMiB = 1024 * 1024;  // 1 TiB
const char* const kTimeFormat = "yyyy-MM-dd HH:mm:ss";
const char* const kDurationFormat = "HH:mm:ss";

QTime AsTimeOfDay(seconds duration) {
  return QTime(0, 0).addSecs(static_cast<int>(std::clamp<int64_t>(duration.count(), 0, 86399)));
}
seconds FromTimeOfDay(const QTime& time) { return seconds{QTime(0, 0).secsTo(time)}; }

QDateTime AsDateTime(RecordingSchedule::TimePoint point) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(point.time_since_epoch());
  return QDateTime::fromMSecsSinceEpoch(ms.count());
}
RecordingSchedule::TimePoint FromDateTime(const QDateTime& time) {
  return RecordingSchedule::TimePoint{std::chrono::milliseconds{time.toMSecsSinceEpoch()}};
}

// A time of day not yet chosen: the next whole minute.
QDateTime NextMinute() {
  QDateTime now = QDateTime::currentDateTime().addSecs(60);
  now.setTime(QTime(now.time().hour(), now.time().minute()));
  return now;
}

}  // namespace

frmSchedule::frmSchedule(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("frmSchedule"));
  setWindowTitle(tr("定时/触发"));
  setModal(true);
  QFont designFont = font();  // as the effects dialog: 9 points
  designFont.setPointSize(9);
  setFont(designFont);

  AccessibleComboBox::Install();  // before the boxes: Qt keeps the first reading it makes of each
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(BuildScheduleGroup());
  layout->addWidget(BuildSoundGroup());
  layout->addWidget(BuildSplitGroup());
  layout->addWidget(BuildButtons());
  layout->setSizeConstraint(QLayout::SetFixedSize);
  Load(Plan{}, HandsFreeSettings{}, false);
}

frmSchedule::~frmSchedule() = default;

QTimeEdit* frmSchedule::MakeDurationEdit(const char* name) {
  auto* edit = new QTimeEdit(this);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setDisplayFormat(QString::fromLatin1(kDurationFormat));
  // From zero: a minimum of a second would refuse "00" typed into the hours of
  // 01:00:00 on its way to 00:30:00. A stop after zero time is refused at OK.
  edit->setMinimumTime(QTime(0, 0));
  return edit;
}

QDateTimeEdit* frmSchedule::MakeTimeEdit(const char* name) {
  auto* edit = new QDateTimeEdit(this);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setDisplayFormat(QString::fromLatin1(kTimeFormat));
  edit->setCalendarPopup(true);
  return edit;
}

QAbstractButton* frmSchedule::AddChoice(QGridLayout* grid, QButtonGroup* group, int id, const char* name,
                                        const QString& caption, QWidget* editor, int row) {
  auto* option = new QRadioButton(caption);
  option->setObjectName(QString::fromLatin1(name));
  group->addButton(option, id);
  grid->addWidget(option, row, 1);
  if (editor != nullptr) grid->addWidget(editor, row, 2);
  return option;
}

QGroupBox* frmSchedule::BuildScheduleGroup() {
  auto* box = new QGroupBox(tr("定时"), this);
  box->setObjectName(QStringLiteral("grpSchedule"));
  auto* grid = new QGridLayout(box);
  startGroup_ = new QButtonGroup(this);
  stopGroup_ = new QButtonGroup(this);
  dtpStartAt_ = MakeTimeEdit("dtpStartAt");
  timStartDelay_ = MakeDurationEdit("timStartDelay");
  timStopAfter_ = MakeDurationEdit("timStopAfter");
  dtpStopAt_ = MakeTimeEdit("dtpStopAt");
  spnStopSize_ = new QSpinBox(this);
  spnStopSize_->setObjectName(QStringLiteral("spnStopSize"));
  spnStopSize_->setRange(1, kMaxStopMiB);
  spnStopSize_->setSuffix(QStringLiteral(" MB"));

  struct Choice {
    QButtonGroup* group;
    int id;
    const char* name;
    const char* caption;
    QWidget* editor;
    const char* editorName;  // spoken: the captions "At this time" of start and stop are alike
  };
  const Choice choices[] = {
      {startGroup_, static_cast<int>(Plan::Start::Now), "optStartNow", QT_TR_NOOP("立即开始"), nullptr, nullptr},
      {startGroup_, static_cast<int>(Plan::Start::At), "optStartAt", QT_TR_NOOP("在此时间开始:"), dtpStartAt_,
       QT_TR_NOOP("开始时间")},
      {startGroup_, static_cast<int>(Plan::Start::After), "optStartAfter", QT_TR_NOOP("延迟后开始:"), timStartDelay_,
       QT_TR_NOOP("开始前延迟")},
      {stopGroup_, static_cast<int>(Plan::Stop::Never), "optStopNever", QT_TR_NOOP("手动停止"), nullptr, nullptr},
      {stopGroup_, static_cast<int>(Plan::Stop::After), "optStopAfter", QT_TR_NOOP("录音时长达到:"), timStopAfter_,
       QT_TR_NOOP("录音时长")},
      {stopGroup_, static_cast<int>(Plan::Stop::At), "optStopAt", QT_TR_NOOP("在此时间停止:"), dtpStopAt_,
       QT_TR_NOOP("停止时间")},
      {stopGroup_, static_cast<int>(Plan::Stop::Size), "optStopSize", QT_TR_NOOP("文件大小达到:"), spnStopSize_,
       QT_TR_NOOP("文件大小上限")},
  };
  int row = 0;
  QString section;
  for (const Choice& choice : choices) {
    if (choice.id == 0) {
      const bool start = choice.group == startGroup_;
      auto* label = new QLabel(start ? tr("开始录音:") : tr("停止录音:"), box);
      label->setObjectName(QString::fromLatin1(start ? "lblStart" : "lblStop"));
      grid->addWidget(label, row, 0, Qt::AlignTop);
      section = AccessibleNames::FromCaption(label->text());
    }
    QAbstractButton* option =
        AddChoice(grid, choice.group, choice.id, choice.name, tr(choice.caption), choice.editor, row++);
    option->setAccessibleName(section + QStringLiteral(": ") + AccessibleNames::FromCaption(option->text()));
    if (choice.editor != nullptr) choice.editor->setAccessibleName(tr(choice.editorName));
  }
  lblScheduleProblem_ = new QLabel(box);
  lblScheduleProblem_->setObjectName(QStringLiteral("lblScheduleProblem"));
  lblScheduleProblem_->setWordWrap(true);
  lblScheduleProblem_->setStyleSheet(QStringLiteral("color: #c00000"));
  lblScheduleProblem_->hide();
  grid->addWidget(lblScheduleProblem_, row, 0, 1, 3);
  grid->setColumnStretch(2, 1);
  connect(startGroup_, &QButtonGroup::idToggled, this, [this] { FollowChoices(); });
  connect(stopGroup_, &QButtonGroup::idToggled, this, [this] { FollowChoices(); });
  return box;
}

QGroupBox* frmSchedule::BuildSoundGroup() {
  grpSound_ = new QGroupBox(tr("声音触发"), this);
  grpSound_->setObjectName(QStringLiteral("grpSound"));
  grpSound_->setCheckable(true);
  auto* grid = new QGridLayout(grpSound_);
  struct Row {
    const char* label;
    const char* caption;
    const char* spin;
    double minimum, maximum;
    int decimals;
    QDoubleSpinBox** member;
  };
  const Row rows[] = {
      {"lblThreshold", QT_TR_NOOP("阈值 (dBFS):"), "spnThreshold", SoundActivation::kLowestThresholdDbfs,
       SoundActivation::kHighestThresholdDbfs, 1, &spnThreshold_},
      {"lblHold", QT_TR_NOOP("持续 (毫秒):"), "spnHold", 0, SoundActivation::kLongestHoldMs, 0, &spnHold_},
      {"lblPreRoll", QT_TR_NOOP("预录 (秒):"), "spnPreRoll", 0, SoundActivation::kLongestPreRollSeconds, 1,
       &spnPreRoll_},
      {"lblHang", QT_TR_NOOP("静音等待 (秒):"), "spnHang", SoundActivation::kShortestHangSeconds,
       SoundActivation::kLongestHangSeconds, 1, &spnHang_},
  };
  int row = 0;
  for (const Row& each : rows) {
    auto* label = new QLabel(tr(each.caption), grpSound_);
    label->setObjectName(QString::fromLatin1(each.label));
    auto* spin = new QDoubleSpinBox(grpSound_);
    spin->setObjectName(QString::fromLatin1(each.spin));
    spin->setRange(each.minimum, each.maximum);
    spin->setDecimals(each.decimals);
    *each.member = spin;
    AccessibleNames::NameAfter(*spin, *label);
    grid->addWidget(label, row, 0);
    grid->addWidget(spin, row++, 1);
  }
  auto* label = new QLabel(tr("静音之后:"), grpSound_);
  label->setObjectName(QStringLiteral("lblAfterSilence"));
  cboAfterSilence_ = new QComboBox(grpSound_);
  cboAfterSilence_->setObjectName(QStringLiteral("cboAfterSilence"));
  cboAfterSilence_->addItem(tr("暂停录音"), static_cast<int>(SoundActivation::AfterSilence::Pause));
  cboAfterSilence_->addItem(tr("开始新文件"), static_cast<int>(SoundActivation::AfterSilence::NewFile));
  AccessibleNames::NameAfter(*cboAfterSilence_, *label);
  grid->addWidget(label, row, 0);
  grid->addWidget(cboAfterSilence_, row++, 1);
  auto* gateLabel = new QLabel(tr("听哪路输入:"), grpSound_);
  gateLabel->setObjectName(QStringLiteral("lblGateInput"));
  cboGateInput_ = new QComboBox(grpSound_);
  cboGateInput_->setObjectName(QStringLiteral("cboGateInput"));
  cboGateInput_->addItem(tr("第一输入"));
  cboGateInput_->addItem(tr("任一输入"));
  cboGateInput_->setToolTip(tr("录两路输入时, 声音触发只听第一输入, 或听任一输入"));
  AccessibleNames::NameAfter(*cboGateInput_, *gateLabel);
  grid->addWidget(gateLabel, row, 0);
  grid->addWidget(cboGateInput_, row, 1);
  grid->setColumnStretch(1, 1);
  return grpSound_;
}

QGroupBox* frmSchedule::BuildSplitGroup() {
  auto* box = new QGroupBox(tr("分割"), this);
  box->setObjectName(QStringLiteral("grpSplit"));
  auto* row = new QHBoxLayout(box);
  chkSplit_ = new QCheckBox(tr("每隔"), box);
  chkSplit_->setObjectName(QStringLiteral("chkSplit"));
  spnSplitMinutes_ = new QSpinBox(box);
  spnSplitMinutes_->setObjectName(QStringLiteral("spnSplitMinutes"));
  spnSplitMinutes_->setRange(1, HandsFreeSettings::kLongestSplitMinutes);
  spnSplitMinutes_->setAccessibleName(tr("分割间隔 (分钟)"));
  auto* unit = new QLabel(tr("分钟分割文件"), box);
  unit->setObjectName(QStringLiteral("lblSplitMinutes"));
  row->addWidget(chkSplit_);
  row->addWidget(spnSplitMinutes_);
  row->addWidget(unit);
  row->addStretch(1);
  connect(chkSplit_, &QCheckBox::toggled, spnSplitMinutes_, &QWidget::setEnabled);
  return box;
}

QWidget* frmSchedule::BuildButtons() {
  auto* panel = new QWidget(this);
  auto* row = new QHBoxLayout(panel);
  row->setContentsMargins(0, 0, 0, 0);
  cmdCancelSchedule_ = new QPushButton(tr("取消定时"), panel);
  cmdCancelSchedule_->setObjectName(QStringLiteral("cmdCancelSchedule"));
  cmdCancelSchedule_->setAutoDefault(false);
  row->addWidget(cmdCancelSchedule_);
  row->addStretch(1);
  DialogButtons::AddOkCancel(*this, *row);
  connect(cmdCancelSchedule_, &QPushButton::clicked, this, [this] {
    if (CancelSchedule) CancelSchedule();
    cmdCancelSchedule_->setEnabled(false);
  });
  return panel;
}

void frmSchedule::Load(const Plan& plan, const HandsFreeSettings& handsFree, bool armed) {
  startGroup_->button(static_cast<int>(plan.start))->setChecked(true);
  stopGroup_->button(static_cast<int>(plan.stop))->setChecked(true);
  dtpStartAt_->setDateTime(plan.start == Plan::Start::At ? AsDateTime(plan.startAt) : NextMinute());
  timStartDelay_->setTime(AsTimeOfDay(plan.start == Plan::Start::After ? plan.startDelay : seconds{60}));
  timStopAfter_->setTime(AsTimeOfDay(plan.stop == Plan::Stop::After ? plan.stopAfter : seconds{3600}));
  dtpStopAt_->setDateTime(plan.stop == Plan::Stop::At ? AsDateTime(plan.stopAt) : NextMinute().addSecs(3600));
  spnStopSize_->setValue(plan.stop == Plan::Stop::Size ? static_cast<int>(plan.stopBytes / kBytesPerMiB) : 100);

  const SoundActivation& sound = handsFree.sound;
  grpSound_->setChecked(sound.enabled);
  spnThreshold_->setValue(sound.thresholdDbfs);
  spnHold_->setValue(sound.holdMs);
  spnPreRoll_->setValue(sound.preRollSeconds);
  spnHang_->setValue(sound.hangSeconds);
  cboAfterSilence_->setCurrentIndex(cboAfterSilence_->findData(static_cast<int>(sound.afterSilence)));
  chkSplit_->setChecked(handsFree.splitMinutes > 0);
  spnSplitMinutes_->setValue(handsFree.splitMinutes > 0 ? handsFree.splitMinutes : 60);
  spnSplitMinutes_->setEnabled(chkSplit_->isChecked());
  cmdCancelSchedule_->setEnabled(armed);
  lblScheduleProblem_->hide();
  FollowChoices();
}

void frmSchedule::accept() {
  if (RecordingSchedule::StopsBeforeItStarts(ChosenPlan(), std::chrono::system_clock::now())) {
    lblScheduleProblem_->setText(tr("停止时间必须晚于开始时间, 否则不会录到任何声音."));
    lblScheduleProblem_->show();
    return;
  }
  QDialog::accept();
}

void frmSchedule::FollowChoices() {
  // Only the chosen way's value can be edited.
  const int start = startGroup_->checkedId();
  const int stop = stopGroup_->checkedId();
  dtpStartAt_->setEnabled(start == static_cast<int>(Plan::Start::At));
  timStartDelay_->setEnabled(start == static_cast<int>(Plan::Start::After));
  timStopAfter_->setEnabled(stop == static_cast<int>(Plan::Stop::After));
  dtpStopAt_->setEnabled(stop == static_cast<int>(Plan::Stop::At));
  spnStopSize_->setEnabled(stop == static_cast<int>(Plan::Stop::Size));
}

RecordingSchedule::Plan frmSchedule::ChosenPlan() const {
  Plan plan;
  plan.start = static_cast<Plan::Start>(startGroup_->checkedId());
  plan.stop = static_cast<Plan::Stop>(stopGroup_->checkedId());
  if (plan.start == Plan::Start::At) plan.startAt = FromDateTime(dtpStartAt_->dateTime());
  if (plan.start == Plan::Start::After) plan.startDelay = FromTimeOfDay(timStartDelay_->time());
  if (plan.stop == Plan::Stop::After) plan.stopAfter = FromTimeOfDay(timStopAfter_->time());
  if (plan.stop == Plan::Stop::At) plan.stopAt = FromDateTime(dtpStopAt_->dateTime());
  if (plan.stop == Plan::Stop::Size) plan.stopBytes = spnStopSize_->value() * kBytesPerMiB;
  return plan;
}

HandsFreeSettings frmSchedule::ChosenHandsFree() const {
  HandsFreeSettings settings;
  SoundActivation& sound = settings.sound;
  sound.enabled = grpSound_->isChecked();
  sound.thresholdDbfs = spnThreshold_->value();
  sound.holdMs = static_cast<int32_t>(spnHold_->value());
  sound.preRollSeconds = spnPreRoll_->value();
  sound.hangSeconds = spnHang_->value();
  sound.afterSilence = static_cast<SoundActivation::AfterSilence>(cboAfterSilence_->currentData().toInt());
  settings.splitMinutes = chkSplit_->isChecked() ? spnSplitMinutes_->value() : 0;
  return settings;
}

void frmSchedule::GateOnEither(bool either) { cboGateInput_->setCurrentIndex(either ? 1 : 0); }

bool frmSchedule::GateOnEither() const { return cboGateInput_->currentIndex() == 1; }
