#include "app/platform/RemoteRequest.h"

#include <QList>
#include <QRegularExpression>
#include <algorithm>

#include "app/platform/LocalRequestServer.h"
#include "app/platform/PlainText.h"

namespace {

// Every line starts with this, so the channel's other requests ("show") never pass for one.
const QByteArray kTag = "recorder";
const QByteArray kOk = "ok ";
const QByteArray kError = "error ";
constexpr std::chrono::hours kLongestDuration{24};

bool Clean(const std::string& field) { return field.find_first_of("\t\n\r") == std::string::npos; }

// A field as it came over the channel: from a client we did not write, so made plain.
std::string Plain(const QByteArray& field) { return PlainText::OneLine(std::string_view(field.data(), field.size())); }

std::optional<RemoteRequest::Verb> VerbNamed(const QByteArray& name) {
  for (const RemoteRequest::Verb verb : RemoteRequest::kVerbs) {
    if (RemoteRequest::Name(verb).toLatin1() == name) return verb;
  }
  return std::nullopt;
}

}  // namespace

QString RemoteRequest::Name(Verb verb) {
  switch (verb) {
    case Verb::Start: return QStringLiteral("start");
    case Verb::Stop: return QStringLiteral("stop");
    case Verb::Pause: return QStringLiteral("pause");
    case Verb::Resume: return QStringLiteral("resume");
    case Verb::Toggle: return QStringLiteral("toggle");
    case Verb::Status: return QStringLiteral("status");
    case Verb::Mark: return QStringLiteral("mark");
  }
  return {};
}

QByteArray RemoteRequest::Encode() const {
  if (!Clean(device) || !Clean(type) || !Clean(text) || !Clean(secondDevice) || !Clean(tracks)) return {};
  const QByteArray milliseconds = duration ? QByteArray::number(static_cast<qint64>(duration->count())) : "";
  const QByteArray preRecord = preRecordSeconds ? QByteArray::number(*preRecordSeconds) : "";
  // The second input's fields only when asked for: a one-input request reads as before.
  const QByteArray second = secondDevice.empty() && tracks.empty()
                                ? QByteArray()
                                : '\t' + QByteArray::fromStdString(secondDevice) + '\t' + QByteArray::fromStdString(tracks);
  const QByteArray line = kTag + '\t' + Name(verb).toLatin1() + '\t' + QByteArray::fromStdString(device) + '\t' +
                          QByteArray::fromStdString(type) + '\t' + milliseconds + '\t' +
                          QByteArray::fromStdString(text) + '\t' + preRecord + second + '\n';
  return line.size() <= LocalRequestServer::kMaxRequestBytes ? line : QByteArray();
}

std::optional<RemoteRequest> RemoteRequest::Decode(const QByteArray& line) {
  const QList<QByteArray> fields = line.split('\t');
  // The pre-record field may be left out, and after it the second input's two.
  if ((fields.size() < 6 || fields.size() > 9 || fields.size() == 8) || fields[0] != kTag) return std::nullopt;
  const auto verb = VerbNamed(fields[1]);
  if (!verb) return std::nullopt;
  RemoteRequest request{*verb, Plain(fields[2]), Plain(fields[3]), std::nullopt, Plain(fields[5])};
  if (!fields[4].isEmpty()) {
    bool number = false;
    const qint64 milliseconds = fields[4].toLongLong(&number);
    if (!number || milliseconds <= 0 || milliseconds > std::chrono::milliseconds(kLongestDuration).count()) {
      return std::nullopt;
    }
    request.duration = std::chrono::milliseconds(milliseconds);
  }
  if (fields.size() == 9) {
    request.secondDevice = Plain(fields[7]);
    request.tracks = Plain(fields[8].trimmed());
  }
  if (fields.size() >= 7 && !fields[6].trimmed().isEmpty()) {
    bool number = false;
    const int seconds = fields[6].trimmed().toInt(&number);
    if (!number || seconds < 0 || seconds > kLongestPreRecord) return std::nullopt;
    request.preRecordSeconds = seconds;
  }
  return request;
}

std::optional<std::chrono::milliseconds> RemoteRequest::ParseDuration(const QString& text) {
  static const QRegularExpression kPattern(QStringLiteral("^(?:(\\d{1,5})h)?(?:(\\d{1,5})m)?(?:(\\d{1,6})s?)?$"));
  const QRegularExpressionMatch match = kPattern.match(text);
  if (text.isEmpty() || !match.hasMatch()) return std::nullopt;
  // A bare number is seconds; "s" needs a number before it ("1h5" is 1 h 5 s).
  if (text.endsWith('s') && match.captured(3).isEmpty()) return std::nullopt;
  const std::chrono::seconds total = std::chrono::hours(match.captured(1).toLongLong()) +
                                     std::chrono::minutes(match.captured(2).toLongLong()) +
                                     std::chrono::seconds(match.captured(3).toLongLong());
  if (total <= std::chrono::seconds(0) || total > kLongestDuration) return std::nullopt;
  return total;
}

QByteArray RemoteRequest::Reply(bool ok, const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  QByteArray line = (ok ? kOk : kError) + QByteArray::fromStdString(Plain(utf8));
  // Cut at a character's start, so the line stays valid UTF-8.
  qsizetype end = std::min<qsizetype>(line.size(), LocalRequestServer::kMaxReplyBytes - 1);
  while (end < line.size() && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) --end;
  return line.left(end) + '\n';
}

std::optional<RemoteRequest::Answer> RemoteRequest::ReadReply(const QByteArray& line) {
  if (!line.endsWith('\n')) return std::nullopt;
  const QByteArray body = line.chopped(1);
  if (body.startsWith(kOk)) return Answer{true, QString::fromUtf8(body.mid(kOk.size()))};
  if (body.startsWith(kError)) return Answer{false, QString::fromUtf8(body.mid(kError.size()))};
  return std::nullopt;
}
