// RemoteRequest: the verbs' request and answer lines over the single-instance
// channel, and the durations "--for" takes.
#include <gtest/gtest.h>

#include "app/platform/LocalRequestServer.h"
#include "app/platform/RemoteRequest.h"

namespace {

using std::chrono::milliseconds;
using namespace std::chrono_literals;

TEST(RemoteRequestTest, DurationsAreSecondsOrHoursMinutesSecondsUpToADay) {
  const std::pair<const char*, milliseconds> accepted[] = {
      {"90", 90s}, {"90s", 90s}, {"5m", 5min}, {"1h30m", 90min}, {"1h2m3s", 3723s}, {"24h", 24h}, {"0m1", 1s},
  };
  for (const auto& [text, duration] : accepted) {
    EXPECT_EQ(RemoteRequest::ParseDuration(text), duration) << text;
  }
  for (const char* refused : {"", "0", "0s", "s", "h", "1.5", "-5", "5 m", "1m1h", "25h", "24h1s", "99999999", "5x",
                              "1h30mm", "999999999999999999999"}) {
    EXPECT_EQ(RemoteRequest::ParseDuration(refused), std::nullopt) << refused;
  }
}

TEST(RemoteRequestTest, ALineCarriesEveryFieldAndNothingElsePassesForOne) {
  const RemoteRequest start{RemoteRequest::Verb::Start, "Mikrofon (USB) ü", "flac", 5400s};
  const QByteArray line = start.Encode();
  ASSERT_TRUE(line.endsWith('\n'));
  const auto decoded = RemoteRequest::Decode(line.chopped(1));
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->verb, RemoteRequest::Verb::Start);
  EXPECT_EQ(decoded->device, start.device);
  EXPECT_EQ(decoded->type, "flac");
  EXPECT_EQ(decoded->duration, 5400s);
  const auto status = RemoteRequest::Decode(RemoteRequest{}.Encode().chopped(1));
  ASSERT_TRUE(status);
  EXPECT_EQ(status->verb, RemoteRequest::Verb::Status);
  EXPECT_EQ(status->duration, std::nullopt);

  // A field that would break the line, or a line longer than the channel takes, is never sent.
  const auto startOn = [](const std::string& device) { return RemoteRequest{RemoteRequest::Verb::Start, device, "", {}}; };
  EXPECT_TRUE(startOn("a\tb").Encode().isEmpty());
  EXPECT_TRUE(startOn("a\nb").Encode().isEmpty());
  const std::string longest(LocalRequestServer::kMaxRequestBytes, 'x');
  EXPECT_TRUE(startOn(longest).Encode().isEmpty());

  for (const QByteArray& foreign :
       {QByteArray("show"), QByteArray("recorder\tstart\t\t"), QByteArray("recorder\tmark\t\t\t"),
        QByteArray("other\tstop\t\t\t"), QByteArray("recorder\tstart\t\t\t-5"), QByteArray("recorder\tstart\t\t\t5x"),
        QByteArray("recorder\tstart\t\t\t86400001")}) {
    EXPECT_EQ(RemoteRequest::Decode(foreign), std::nullopt) << foreign.toStdString();
  }
}

TEST(RemoteRequestTest, AStartsSecondInputTravelsOnlyWhenAskedFor) {
  RemoteRequest start{RemoteRequest::Verb::Start, "Mic", "wav", std::nullopt};
  const QByteArray oneInput = start.Encode();
  EXPECT_EQ(oneInput.count('\t'), 6) << "a one-input request reads as a copy without two inputs sends it";
  start.secondDevice = "Monitor of Null-Output";
  start.tracks = "both";
  const auto decoded = RemoteRequest::Decode(start.Encode().chopped(1));
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->device, "Mic");
  EXPECT_EQ(decoded->secondDevice, "Monitor of Null-Output");
  EXPECT_EQ(decoded->tracks, "both");
  start.secondDevice = "a\tb";
  EXPECT_TRUE(start.Encode().isEmpty());
  EXPECT_EQ(RemoteRequest::Decode("recorder\tstart\t\t\t\t\t\tonly-one-more"), std::nullopt);
}

TEST(RemoteRequestTest, AnAnswerIsOneBoundedLineOfValidText) {
  const auto done = RemoteRequest::ReadReply(RemoteRequest::Reply(true, "录音中,\n长度 0:05"));
  ASSERT_TRUE(done);
  EXPECT_TRUE(done->ok);
  EXPECT_EQ(done->text, QString("录音中, 长度 0:05"));
  const auto refused = RemoteRequest::ReadReply(RemoteRequest::Reply(false, "没有可停止的录音"));
  ASSERT_TRUE(refused);
  EXPECT_FALSE(refused->ok);
  EXPECT_EQ(refused->text, QString("没有可停止的录音"));

  // A file name far longer than the channel: cut between characters, never inside one.
  const QByteArray cut = RemoteRequest::Reply(true, QString(3000, QChar(0x97F3)));
  EXPECT_LE(cut.size(), LocalRequestServer::kMaxReplyBytes);
  EXPECT_EQ(cut.count('\n'), 1);
  const auto read = RemoteRequest::ReadReply(cut);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->text, QString((LocalRequestServer::kMaxReplyBytes - 4) / 3, QChar(0x97F3)));

  EXPECT_EQ(RemoteRequest::ReadReply("ok\n"), std::nullopt);     // the window-showing answer
  EXPECT_EQ(RemoteRequest::ReadReply("ok done"), std::nullopt);  // no newline: cut off
}

// A client's text fields and every answer line hold valid UTF-8 on one line:
// control and line-separator characters become spaces, bytes that begin no
// valid character (surrogates, overlong forms, a character cut short) U+FFFD.
TEST(RemoteRequestTest, TextFromAClientAndEveryAnswerIsPlainOneLineText) {
  const QByteArray hostile("a\0b\vc\fd\x1C\x1D\x1E" "e\xC2\x85" "f\xE2\x80\xA8g\xE2\x80\xA9h\t"
                           "\xED\xA0\x80\xC0\xAF\xC3\xBC\xE9\x9F\xB3\xE9\x9F", 35);
  const QByteArray plain("a b c d   e f g h " "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
                         "\xC3\xBC\xE9\x9F\xB3" "\xEF\xBF\xBD\xEF\xBF\xBD");
  const QByteArray tabless = QByteArray(hostile).replace('\t', ' ');
  const auto mark = RemoteRequest::Decode("recorder\tmark\t" + tabless + "\t\t\t" + tabless);
  ASSERT_TRUE(mark);
  EXPECT_EQ(QByteArray::fromStdString(mark->text), plain);
  EXPECT_EQ(QByteArray::fromStdString(mark->device), plain);

  const QByteArray reply = RemoteRequest::Reply(false, QString::fromUtf8(hostile));
  EXPECT_FALSE(reply.contains('\0'));
  EXPECT_EQ(reply.count('\n'), 1);
  EXPECT_FALSE(reply.contains("\xE2\x80\xA8"));
  EXPECT_EQ(reply.left(8), QByteArray("error a "));
}

}  // namespace
