#include "app/control/RecorderRequests.h"

#include "app/platform/RemoteRequest.h"
#include "app/recording/SecondInputFinder.h"
#include "app/recording/StatusTexts.h"

namespace {

QByteArray ReplyTo(const RecorderControl::Result& result, const QString& done) {
  if (!result.ok) {
    return RemoteRequest::Reply(false, result.reason.empty() ? RecorderRequests::tr("录音未能开始")
                                                             : QString::fromStdString(result.reason));
  }
  QString text = done;
  for (const std::string& warning : result.warnings) {
    text += RecorderRequests::tr("; 警告: %1").arg(QString::fromStdString(warning));
  }
  return RemoteRequest::Reply(true, text);
}

}  // namespace

QByteArray RecorderRequests::Answer(RecorderControl& control, const SecondInputFinder& secondInputs,
                                    const QByteArray& line) {
  const auto request = RemoteRequest::Decode(line);
  if (!request) return {};
  switch (request->verb) {
    case RemoteRequest::Verb::Start:
      return ReplyTo(secondInputs.Start(control,
                                        {.device = request->device,
                                         .type = request->type,
                                         .duration = request->duration,
                                         .preRecordSeconds = request->preRecordSeconds},
                                        request->secondDevice, request->tracks),
                     tr("已开始录音"));
    case RemoteRequest::Verb::Stop: return ReplyTo(control.Stop(), tr("已停止录音"));
    case RemoteRequest::Verb::Pause: return ReplyTo(control.Pause(), tr("已暂停"));
    case RemoteRequest::Verb::Resume: return ReplyTo(control.Resume(), tr("已继续录音"));
    case RemoteRequest::Verb::Toggle: {
      const RecorderControl::Result result = control.Toggle();
      return ReplyTo(result, StateName(control.CurrentStatus().state));
    }
    case RemoteRequest::Verb::Status: return RemoteRequest::Reply(true, StatusLine(control.CurrentStatus()));
    case RemoteRequest::Verb::Mark: return ReplyTo(control.Mark(request->text), tr("已加标记"));
  }
  return {};
}

QString RecorderRequests::StateName(RecorderState state) {
  switch (state) {
    case RecorderState::Idle: return tr("空闲");
    case RecorderState::Monitoring: return tr("监听中");
    case RecorderState::Starting: return tr("正在开始");
    case RecorderState::WaitingForSound: return tr("等待声音");
    case RecorderState::Recording: return tr("录音中");
    case RecorderState::Paused: return tr("已暂停");
    case RecorderState::Finishing: return tr("正在完成文件");
  }
  return {};
}

QString RecorderRequests::StatusLine(const RecorderControl::Status& status) {
  const QString size = status.fileBytes < 0 ? QStringLiteral("-")
                                            : QString::fromStdString(StatusTexts::FormatSize(
                                                  static_cast<double>(status.fileBytes)));
  const QString state =
      status.scheduledStartIn
          ? tr("等待定时开始 (%1 后)")
                .arg(QString::fromStdString(StatusTexts::FormatLength(static_cast<int32_t>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(*status.scheduledStartIn).count()))))
          : StateName(status.state);
  return tr("%1, 长度 %2, 文件 %3, 输入丢失 %4, 大小 %5, 设备 %6, 类型 %7, 电平 %8 dBFS")
      .arg(state, QString::fromStdString(StatusTexts::FormatLength(status.lengthMs)),
           QString::fromStdString(status.file))
      .arg(status.inputLost)
      .arg(size, QString::fromStdString(status.device), QString::fromStdString(status.type))
      .arg(status.levelDbfs, 0, 'f', 1);
}
