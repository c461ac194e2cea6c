#include "app/platform/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/platform/ApplicationIdentity.h"
#include "app/platform/ProgramFolder.h"
#include "app/platform/TrackNames.h"
#include "common/FileTypes.h"

namespace {

const QString kLangName = QStringLiteral("lang");
const QString kDeviceName = QStringLiteral("device");
const QString kTypeName = QStringLiteral("type");
const QString kTracksName = QStringLiteral("tracks");
const QString kForName = QStringLiteral("for");
const QString kPreRecordName = QStringLiteral("pre-record");
const QString kNoWindowName = QStringLiteral("no-window");
const QString kSoundActivatedName = QStringLiteral("sound-activated");
const QString kThresholdName = QStringLiteral("threshold");
const QString kPreRollName = QStringLiteral("pre-roll");
const QString kHangName = QStringLiteral("hang");
const QString kAfterSilenceName = QStringLiteral("after-silence");
const QString kSplitName = QStringLiteral("split");
// What --sound-activated sets more closely, and everything only --no-window takes.
const QStringList kSoundOptionNames = {kThresholdName, kPreRollName, kHangName, kAfterSilenceName};
const QStringList kTerminalOptionNames = {kSoundActivatedName, kThresholdName,     kPreRollName,
                                          kHangName,           kAfterSilenceName, kSplitName};
constexpr auto kVerbs = RemoteRequest::kVerbs;

// The text, marked with QT_TRANSLATE_NOOP where it is written, in the interface's language.
QString Tr(const char* text) { return QCoreApplication::translate("CommandLine", text); }

[[noreturn]] void Refuse(const QString& message) {
  std::fprintf(stderr, "%s\n", qPrintable(message));
  std::exit(1);
}

QString VerbHelp(RemoteRequest::Verb verb) {
  switch (verb) {
    case RemoteRequest::Verb::Start:
      return Tr(QT_TRANSLATE_NOOP("CommandLine", "让运行中的 Tamblin 开始录音 (它未运行时先启动它)"));
    case RemoteRequest::Verb::Stop: return Tr(QT_TRANSLATE_NOOP("CommandLine", "停止录音"));
    case RemoteRequest::Verb::Pause: return Tr(QT_TRANSLATE_NOOP("CommandLine", "暂停录音"));
    case RemoteRequest::Verb::Resume: return Tr(QT_TRANSLATE_NOOP("CommandLine", "继续录音"));
    case RemoteRequest::Verb::Toggle: return Tr(QT_TRANSLATE_NOOP("CommandLine", "开始或停止录音, 如同按下开始按钮"));
    case RemoteRequest::Verb::Status:
      return Tr(QT_TRANSLATE_NOOP("CommandLine", "显示一行状态: 状态, 长度, 文件, 输入丢失"));
    case RemoteRequest::Verb::Mark:
      return Tr(QT_TRANSLATE_NOOP("CommandLine", "在当前位置加一个标记, 名称为其后的文字 (默认为 \"标记 N\")"));
  }
  return {};
}

void AddRemoteOptions(QCommandLineParser& parser) {
  for (const RemoteRequest::Verb verb : kVerbs) {
    parser.addOption(QCommandLineOption(RemoteRequest::Name(verb), VerbHelp(verb)));
  }
  parser.addOption(QCommandLineOption(kDeviceName,
                                      Tr(QT_TRANSLATE_NOOP("CommandLine", "配合 --start: 按名称或描述选择输入设备; "
                                                                          "给两次时第二个是第二输入 (如电脑声音)")),
                                      Tr(QT_TRANSLATE_NOOP("CommandLine", "名称"))));
  parser.addOption(QCommandLineOption(
      kTracksName,
      Tr(QT_TRANSLATE_NOOP("CommandLine", "两路输入的轨道: mix 混合为一个文件, separate 每路一个文件, both 两者都要")),
      QString::fromStdString(TrackNames::Listed("|"))));
  parser.addOption(QCommandLineOption(kTypeName, Tr(QT_TRANSLATE_NOOP("CommandLine", "配合 --start: 文件类型")),
                                      QString::fromStdString(FileTypes::Names("|"))));
  parser.addOption(QCommandLineOption(
      kForName,
      Tr(QT_TRANSLATE_NOOP("CommandLine", "配合 --start: 录音时长后自动停止, 如 90, 90s, 5m, 1h30m (最长 24h)")),
      Tr(QT_TRANSLATE_NOOP("CommandLine", "时长"))));
  parser.addOption(QCommandLineOption(
      kPreRecordName,
      Tr(QT_TRANSLATE_NOOP("CommandLine",
                           "配合 --start: 录音从按下之前这么多秒开始 (0 到 600, 最多为监听时保留的预录秒数)")),
      Tr(QT_TRANSLATE_NOOP("CommandLine", "秒"))));
  parser.addOption(QCommandLineOption(
      kNoWindowName, Tr(QT_TRANSLATE_NOOP("CommandLine",
                                          "不打开窗口, 在终端上录音 (需要 --device; 可加第二个 --device 和 --tracks, --type, "
                                          "--for, 声音触发, --split 和文件名, 文件名的扩展名决定文件类型); Ctrl+C "
                                          "结束录音并完成文件"))));
  parser.addPositionalArgument(
      Tr(QT_TRANSLATE_NOOP("CommandLine", "文件")),
      Tr(QT_TRANSLATE_NOOP("CommandLine", "配合 --no-window: 输出文件 (默认为下一个编号文件)")),
      Tr(QT_TRANSLATE_NOOP("CommandLine", "[文件]")));
}

// The first and the second --device, and --tracks.
void ChooseInputs(const QCommandLineParser& parser, RemoteRequest& request) {
  const QStringList devices = parser.values(kDeviceName);
  if (devices.size() > 2) Refuse(Tr(QT_TRANSLATE_NOOP("CommandLine", "--device 最多给两次: 第一输入和第二输入")));
  request.device = devices.value(0).toStdString();
  request.secondDevice = devices.value(1).toStdString();
  if (!parser.isSet(kTracksName)) return;
  const QString tracks = parser.value(kTracksName).toLower();
  if (!TrackNames::IndexOf(tracks.toStdString())) {
    Refuse(Tr(QT_TRANSLATE_NOOP("CommandLine", "未知的轨道 \"%1\", 可用: %2"))
               .arg(parser.value(kTracksName), QString::fromStdString(TrackNames::Listed(", "))));
  }
  request.tracks = tracks.toStdString();
}

RemoteRequest StartRequest(const QCommandLineParser& parser) {
  RemoteRequest request{RemoteRequest::Verb::Start, {}, parser.value(kTypeName).toLower().toStdString(), std::nullopt};
  ChooseInputs(parser, request);
  if (!request.type.empty() && !FileTypes::Named(request.type)) {
    Refuse(Tr(QT_TRANSLATE_NOOP("CommandLine", "未知的文件类型 \"%1\", 可用: %2"))
               .arg(parser.value(kTypeName), QString::fromStdString(FileTypes::Names(", "))));
  }
  if (parser.isSet(kForName)) {
    request.duration = RemoteRequest::ParseDuration(parser.value(kForName));
    if (!request.duration)
      Refuse(Tr(QT_TRANSLATE_NOOP("CommandLine", "无效的时长 \"%1\", 例如: 90, 90s, 5m, 1h30m"))
                 .arg(parser.value(kForName)));
  }
  if (parser.isSet(kPreRecordName)) {
    bool number = false;
    const int seconds = parser.value(kPreRecordName).toInt(&number);
    if (!number || seconds < 0 || seconds > RemoteRequest::kLongestPreRecord) {
      Refuse(Tr(QT_TRANSLATE_NOOP("CommandLine", "--pre-record 必须是 0 到 600 之间的整数秒, 不是 \"%1\""))
                 .arg(parser.value(kPreRecordName)));
    }
    request.preRecordSeconds = seconds;
  }
  return request;
}

void AddHandsFreeOptions(QCommandLineParser& parser) {
  const QString seconds = Tr(QT_TRANSLATE_NOOP("CommandLine", "秒"));
  parser.addOption(QCommandLineOption(
      kSoundActivatedName,
      Tr(QT_TRANSLATE_NOOP("CommandLine", "配合 --no-window: 声音触发录音, 如“定时/触发”页 (以下四项可改其设置)"))));
  parser.addOption(QCommandLineOption(
      kThresholdName, Tr(QT_TRANSLATE_NOOP("CommandLine", "声音触发的阈值, dBFS (-90 到 0, 默认 -40)")), "dB"));
  parser.addOption(QCommandLineOption(
      kPreRollName, Tr(QT_TRANSLATE_NOOP("CommandLine", "声音触发的预录秒数 (0 到 30, 默认 2)")), seconds));
  parser.addOption(QCommandLineOption(
      kHangName, Tr(QT_TRANSLATE_NOOP("CommandLine", "声音触发的静音等待秒数 (0.1 到 600, 默认 3)")), seconds));
  parser.addOption(QCommandLineOption(
      kAfterSilenceName,
      Tr(QT_TRANSLATE_NOOP("CommandLine", "静音之后: pause 暂停录音 (默认), new-file 开始新文件")),
      QStringLiteral("pause|new-file")));
  parser.addOption(QCommandLineOption(
      kSplitName, Tr(QT_TRANSLATE_NOOP("CommandLine", "配合 --no-window: 每隔这么多分钟 (1 到 1440) 分割文件")),
      Tr(QT_TRANSLATE_NOOP("CommandLine", "分钟"))));
}

[[noreturn]] void RefuseValue(const QCommandLineParser& parser, const QString& name) {
  Refuse(Tr(QT_TRANSLATE_NOOP("CommandLine", "--%1 需要一个数, 不是 \"%2\"")).arg(name, parser.value(name)));
}

// The value of option `name` as a number; anything else ends the program.
double NumberOf(const QCommandLineParser& parser, const QString& name) {
  bool number = false;
  const double value = parser.value(name).toDouble(&number);
  if (!number || !std::isfinite(value)) RefuseValue(parser, name);
  return value;
}

std::optional<double> OptionalNumberOf(const QCommandLineParser& parser, const QString& name) {
  if (!parser.isSet(name)) return std::nullopt;
  return NumberOf(parser, name);
}

// --no-window's hands-free options as given; their limits are the recorder's to check.
CommandLine::HandsFreeOptions HandsFreeChoices(const QCommandLineParser& parser) {
  CommandLine::HandsFreeOptions chosen;
  chosen.soundActivated = parser.isSet(kSoundActivatedName);
  const bool refined = std::ranges::any_of(kSoundOptionNames, [&](const QString& n) { return parser.isSet(n); });
  if (refined && !chosen.soundActivated) {
    Refuse(Tr(QT_TRANSLATE_NOOP("CommandLine", "--threshold, --pre-roll, --hang 和 --after-silence 需要 --sound-activated")));
  }
  chosen.thresholdDbfs = OptionalNumberOf(parser, kThresholdName);
  chosen.preRollSeconds = OptionalNumberOf(parser, kPreRollName);
  chosen.hangSeconds = OptionalNumberOf(parser, kHangName);
  if (parser.isSet(kAfterSilenceName)) {
    const QString after = parser.value(kAfterSilenceName);
    if (after != "pause" && after != "new-file") {
      Refuse(Tr(QT_TRANSLATE_NOOP("CommandLine", "--after-silence 只能是 pause 或 new-file, 不是 \"%1\"")).arg(after));
    }
    chosen.newFileAfterSilence = after == "new-file";
  }
  if (parser.isSet(kSplitName)) {
    bool number = false;
    chosen.splitMinutes = parser.value(kSplitName).toInt(&number);
    if (!number) RefuseValue(parser, kSplitName);
  }
  return chosen;
}

// The one verb asked for, if any; a second verb, or a start option without --start, ends the program.
std::optional<RemoteRequest> RequestedVerb(const QCommandLineParser& parser) {
  std::vector<RemoteRequest::Verb> asked;
  for (const RemoteRequest::Verb verb : kVerbs) {
    if (parser.isSet(RemoteRequest::Name(verb))) asked.push_back(verb);
  }
  if (asked.size() > 1) Refuse(Tr(QT_TRANSLATE_NOOP("CommandLine", "一次只能给出一个命令")));
  const bool startOptions =
      !parser.isSet(kNoWindowName) && (parser.isSet(kDeviceName) || parser.isSet(kTypeName) || parser.isSet(kForName) ||
                                       parser.isSet(kPreRecordName) || parser.isSet(kTracksName));
  if (asked.empty() || asked.front() != RemoteRequest::Verb::Start) {
    if (startOptions) {
      Refuse(Tr(QT_TRANSLATE_NOOP("CommandLine",
                                  "--device, --type, --for, --pre-record 和 --tracks 只能与 --start 一起使用")));
    }
    if (asked.empty()) return std::nullopt;
    RemoteRequest request{asked.front(), {}, {}, std::nullopt};
    if (request.verb == RemoteRequest::Verb::Mark) request.text = parser.positionalArguments().join(' ').toStdString();
    if (request.Encode().isEmpty()) Refuse(Tr(QT_TRANSLATE_NOOP("CommandLine", "标记名称太长或含有无效字符")));
    return request;
  }
  RemoteRequest request = StartRequest(parser);
  if (request.Encode().isEmpty()) Refuse(Tr(QT_TRANSLATE_NOOP("CommandLine", "设备名称太长或含有无效字符")));
  return request;
}

QCommandLineOption LangOption(const QString& description) {
  return QCommandLineOption(kLangName, description, QStringLiteral("zh|en"));
}

// The language asked for with "--lang", else the desktop's. An unknown name ends the program.
InterfaceLanguage::Language ChosenLanguage(const QStringList& arguments) {
  QCommandLineParser first;
  first.addOption(LangOption({}));
  first.addHelpOption();
  first.addVersionOption();
  first.parse(arguments);  // errors are reported by the full parse
  if (!first.isSet(kLangName)) return InterfaceLanguage::ForSystem();
  const QString name = first.value(kLangName);
  if (const auto language = InterfaceLanguage::FromName(name)) return *language;
  InterfaceLanguage::Use(InterfaceLanguage::ForSystem(), ProgramFolder::DataFolder());
  const QString message =
      QCoreApplication::translate("CommandLine", "未知的界面语言 \"%1\", 可用: zh, en").arg(name);
  Refuse(message);
}

// --no-window with its start options and FILE; anything else with it ends the program.
CommandLine::Choices TerminalChoices(const QCommandLineParser& parser, CommandLine::Choices choices) {
  if (choices.request)
    Refuse(Tr(QT_TRANSLATE_NOOP("CommandLine", "--no-window 不能与 --%1 一起使用"))
               .arg(RemoteRequest::Name(choices.request->verb)));
  // Kept input exists only where a window monitored before the start.
  if (parser.isSet(kPreRecordName)) {
    Refuse(Tr(QT_TRANSLATE_NOOP("CommandLine", "--pre-record 需要窗口: 它取开始之前监听时保留的声音, 而 --no-window "
                                               "的录音在开始时才打开输入 (声音触发录音的预录请用 --pre-roll)")));
  }
  if (!parser.isSet(kDeviceName)) Refuse(Tr(QT_TRANSLATE_NOOP("CommandLine", "--no-window 需要 --device")));
  if (parser.positionalArguments().size() > 1) Refuse(Tr(QT_TRANSLATE_NOOP("CommandLine", "只能给出一个输出文件")));
  choices.request = StartRequest(parser);
  // Without a window there is no chosen second input for the tracks to go with.
  if (!choices.request->tracks.empty() && choices.request->secondDevice.empty()) {
    Refuse(Tr(QT_TRANSLATE_NOOP("CommandLine", "--no-window 的 --tracks 需要第二个 --device")));
  }
  choices.noWindow = true;
  choices.file = parser.positionalArguments().value(0);
  choices.handsFree = HandsFreeChoices(parser);
  return choices;
}

}  // namespace

CommandLine::Choices CommandLine::Process(int argc, char** argv) {
  // A plain core application for the parse alone: it needs no display, and
  // ends before the real application is made.
  QCoreApplication parsing(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Tamblin"));
  QCoreApplication::setApplicationVersion(ApplicationIdentity::Version());
  const InterfaceLanguage::Language language = ChosenLanguage(parsing.arguments());
  // The help text in that language; a missing translation is told by the program itself.
  InterfaceLanguage::Use(language, ProgramFolder::DataFolder());
  QCommandLineParser parser;
  parser.setApplicationDescription(QCoreApplication::translate("CommandLine", "Tamblin 录音机"));
  parser.addOption(LangOption(QCoreApplication::translate("CommandLine", "界面语言: zh (中文) 或 en (英文)")));
  AddRemoteOptions(parser);
  AddHandsFreeOptions(parser);
  parser.addHelpOption();
  parser.addVersionOption();
  parser.process(parsing);  // prints and ends the program for --help, --version and errors
  Choices choices{language, RequestedVerb(parser)};
  if (parser.isSet(kNoWindowName)) {
    choices = TerminalChoices(parser, choices);
  } else if (std::ranges::any_of(kTerminalOptionNames, [&](const QString& n) { return parser.isSet(n); })) {
    Refuse(Tr(QT_TRANSLATE_NOOP("CommandLine", "--sound-activated, --threshold, --pre-roll, --hang, --after-silence 和 "
                                               "--split 只能与 --no-window 一起使用")));
  } else if (!parser.positionalArguments().isEmpty() &&
             !(choices.request && choices.request->verb == RemoteRequest::Verb::Mark)) {
    Refuse(Tr(QT_TRANSLATE_NOOP("CommandLine", "只有 --no-window 才接受文件名: %1"))
               .arg(parser.positionalArguments().join(' ')));
  }
  InterfaceLanguage::Use(InterfaceLanguage::Language::Chinese, {});
  return choices;
}
