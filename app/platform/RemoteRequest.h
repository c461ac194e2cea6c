// RemoteRequest: one verb a later start asks of the running copy (--start,
// --stop, ...), as the one line it travels in over the single-instance channel:
// tab-separated fields, no tabs or newlines inside them, at most
// LocalRequestServer::kMaxRequestBytes in all. Plain value; any thread.
#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <chrono>
#include <optional>
#include <string>

struct RemoteRequest {
  // A new verb takes the next value, a name in Name and, if it carries text, a field of its own.
  enum class Verb { Start, Stop, Pause, Resume, Toggle, Status, Mark };
  static constexpr std::array kVerbs = {Verb::Start,  Verb::Stop,   Verb::Pause, Verb::Resume,
                                        Verb::Toggle, Verb::Status, Verb::Mark};

  Verb verb = Verb::Status;
  std::string device;                                 // Start: a device's name or description; empty: the chosen one
  std::string type;                                   // Start: a FileTypes name; empty: the chosen one
  std::optional<std::chrono::milliseconds> duration;  // Start: stop after this long
  std::string text;                                   // Mark: the marker's name; empty: "标记 N"
  std::optional<int32_t> preRecordSeconds;            // Start: 0 .. kLongestPreRecord s from before it; none: as set
  static constexpr int32_t kLongestPreRecord = 600;
  std::string secondDevice;  // Start: the second input, a device's name or description; empty: as chosen
  std::string tracks;        // Start: a TrackNames word; empty: as chosen

  // The request line, its newline included; empty when a field holds a tab or
  // newline or the line would be longer than the channel takes.
  QByteArray Encode() const;
  // Nothing for a line that is not a well-formed request; its text fields made plain (PlainText).
  static std::optional<RemoteRequest> Decode(const QByteArray& line);

  // "90" or "90s" (seconds), "5m", "1h30m", "1h2m3s": whole hours, minutes and
  // seconds in that order, each at most once, more than 0 and at most 24 hours
  // in all. Nothing otherwise.
  static std::optional<std::chrono::milliseconds> ParseDuration(const QString& text);
  // The answer line: "ok <text>" or "error <reason>", `text` made plain
  // (PlainText: no NUL, no line breaks), cut to what the channel takes.
  static QByteArray Reply(bool ok, const QString& text);
  struct Answer {
    bool ok = false;
    QString text;
  };
  // Nothing for a line that is no answer to a request.
  static std::optional<Answer> ReadReply(const QByteArray& line);

  // The verb's command-line option without its dashes ("start", "stop" ...).
  static QString Name(Verb verb);
};
