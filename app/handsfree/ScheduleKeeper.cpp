#include "app/handsfree/ScheduleKeeper.h"

#include <QLabel>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>

#include "app/recording/RecordingController.h"
#include "app/recording/RecordingEngine.h"
#include "app/recording/StatusTexts.h"
#include "common/MessageBoxService.h"
#include "app/windows/TrayIcon.h"
#include "app/handsfree/frmSchedule.h"

namespace {

constexpr int kTickMs = 200;  // fine enough for a countdown in seconds

}  // namespace

ScheduleKeeper::ScheduleKeeper(RecordingEngine& engine, QStatusBar& statusBar, QWidget& window,
                               MessageBoxService& messages)
    : engine_(engine), window_(window), messages_(messages) {
  engine_.ScheduledStart([this] { return CancelPendingStart(); });
  engine_.ScheduledStartWait([this] {
    return schedule_.StartPending() ? schedule_.Remaining() : std::optional<std::chrono::seconds>();
  });
  panel_ = new QLabel(&statusBar);
  panel_->setObjectName(QStringLiteral("sbarSchedule"));
  statusBar.addPermanentWidget(panel_);
  panel_->hide();
  timer_ = new QTimer(this);
  timer_->setInterval(kTickMs);
  connect(timer_, &QTimer::timeout, this, &ScheduleKeeper::Tick);
}

ScheduleKeeper::~ScheduleKeeper() {
  engine_.ScheduledStart(nullptr);
  engine_.ScheduledStartWait(nullptr);
  // The panel is the status bar's and may outlive this object; it must not show a stale countdown.
  panel_->hide();
  if (tray_) tray_->ShowSchedule({});
}

void ScheduleKeeper::SetTray(TrayIcon* tray) {
  tray_ = tray;
  ShowCountdown();
}

void ScheduleKeeper::ShowDialog() {
  if (!dialog_) {
    dialog_ = new frmSchedule(&window_);
    dialog_->CancelSchedule = [this] { Cancel(); };
  }
  dialog_->Load(schedule_.Armed() ? schedule_.ArmedPlan() : lastPlan_, handsFree_, schedule_.Armed());
  dialog_->GateOnEither(gateOnEither_);
  // The window may close (tray menu "退出") while the page is up, and this object with it.
  const QPointer<ScheduleKeeper> alive(this);
  const bool accepted = dialog_->exec() == QDialog::Accepted;
  if (!accepted || !alive) return;
  if (dialog_->GateOnEither() != gateOnEither_) {
    gateOnEither_ = dialog_->GateOnEither();
    if (HandsFreeChosen) HandsFreeChosen();
  }
  Apply(dialog_->ChosenPlan(), dialog_->ChosenHandsFree());
}

void ScheduleKeeper::Apply(const RecordingSchedule::Plan& plan, const HandsFreeSettings& handsFree) {
  if (handsFree != handsFree_) {
    HandsFree(handsFree);
    if (HandsFreeChosen) HandsFreeChosen();
  }
  lastPlan_ = plan;
  schedule_.Arm(plan);
  if (schedule_.Armed()) {
    timer_->start();
    Tick();  // "start now" starts now
  } else {
    Cancel();
  }
}

void ScheduleKeeper::HandsFree(const HandsFreeSettings& settings) {
  handsFree_ = settings;
  engine_.HandsFreeChanged(handsFree_);
}

void ScheduleKeeper::Cancel() {
  schedule_.Cancel();
  timer_->stop();
  ShowCountdown();
}

bool ScheduleKeeper::CancelPendingStart() {
  if (!schedule_.StartPending()) return false;
  Cancel();
  return true;
}

void ScheduleKeeper::Tick() {
  switch (schedule_.Tick(engine_.State())) {
    case RecordingSchedule::Action::None: break;
    case RecordingSchedule::Action::Start:
      if (!StartRecording()) return;
      break;
    case RecordingSchedule::Action::Stop: engine_.Stop(); break;
    case RecordingSchedule::Action::HandOverEnd: HandOverEnd(); break;
  }
  if (!schedule_.Armed()) timer_->stop();
  ShowCountdown();
}

bool ScheduleKeeper::StartRecording() {
  const RecordingSchedule::Plan plan = schedule_.ArmedPlan();
  RecordingRequest request;
  if (plan.stop == RecordingSchedule::Plan::Stop::After) request.duration = plan.stopAfter;
  const QPointer<ScheduleKeeper> alive(this);  // the start's wait turns the event loop: the window may close
  const RecorderControl::Result result = engine_.Start(request);
  if (!alive) return false;
  if (result.ok && plan.stop == RecordingSchedule::Plan::Stop::Size) engine_.EndAtFileSize(plan.stopBytes);
  if (!result.ok) messages_.ShowWarning(RecordingController::CheckCaption(), result.reason);
  for (const std::string& warning : result.warnings) messages_.ShowWarning(RecordingController::kAppCaption, warning);
  return alive;
}

void ScheduleKeeper::HandOverEnd() {
  const RecordingSchedule::Plan& plan = schedule_.ArmedPlan();
  if (plan.stop == RecordingSchedule::Plan::Stop::After) engine_.EndAfterMore(plan.stopAfter);
  if (plan.stop == RecordingSchedule::Plan::Stop::Size) engine_.EndAtFileSize(plan.stopBytes);
}

void ScheduleKeeper::ShowCountdown() {
  if (schedule_.StartPending() != startWaitHeard_) {
    startWaitHeard_ = schedule_.StartPending();
    if (StartWaitChanged) StartWaitChanged(startWaitHeard_);
  }
  const QString text = CountdownCaption();
  if (text == shown_) return;
  shown_ = text;
  panel_->setText(text);
  panel_->setVisible(!text.isEmpty());
  if (tray_) tray_->ShowSchedule(text);
}

QString ScheduleKeeper::CountdownCaption() const {
  if (const auto left = schedule_.Remaining()) {
    const QString time = CountdownText(*left);
    return schedule_.StartPending() ? tr("定时: %1 后开始录音").arg(time) : tr("定时: %1 后停止录音").arg(time);
  }
  const RecordingSchedule::Plan& plan = schedule_.ArmedPlan();
  if (schedule_.CurrentPhase() == RecordingSchedule::Phase::Running && plan.stop == RecordingSchedule::Plan::Stop::Size) {
    const std::string size = StatusTexts::FormatSize(static_cast<double>(plan.stopBytes));
    return tr("定时: 文件达到 %1 时停止录音").arg(QString::fromStdString(size));
  }
  return {};
}

QString ScheduleKeeper::CountdownText(std::chrono::seconds left) {
  const auto total = left.count();
  return QStringLiteral("%1:%2:%3")
      .arg(total / 3600)
      .arg(total / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(total % 60, 2, 10, QLatin1Char('0'));
}
