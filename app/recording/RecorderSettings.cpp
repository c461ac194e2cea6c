#include "app/recording/RecorderSettings.h"

#include <QList>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <string>
#include <limits>

#include "app/platform/SettingsFile.h"
#include "app/recording/RecordingFormat.h"
#include "app/recording/TrackLayoutNames.h"
#include "common/FileTypes.h"

namespace {

using Key = RecorderSettings::Key;

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
constexpr const char* kHeader = "[Tamblin]";
constexpr const char* kEnd = "[end]";
constexpr qsizetype kLongestValue = 1000;  // a device name is far shorter

// One key: its name in the file, and either a number's range and default or a
// text's default and the values it takes ("a|b"; nullptr: any text). The
// effects and hands-free numbers have no default here: theirs are the chain's
// and HandsFreeSettings' own.
struct KeyRule {
  Key key;
  const char* name;
  double lowest = kNone, highest = kNone, fallback = kNone;
  const char* text = nullptr;     // a text key's default ("" for none)
  const char* choices = nullptr;  // a text key's values
};

// The file types' names as a key's values: "wav|flac|opus|mp3".
constexpr size_t kTypeChoicesSize = [] {
  size_t size = 0;  // each name and a '|' or, after the last, the terminating 0
  for (const FileTypes::Row& type : FileTypes::kRows) size += std::char_traits<char>::length(type.name) + 1;
  return size;
}();
constexpr std::array<char, kTypeChoicesSize> kTypeChoices = [] {
  std::array<char, kTypeChoicesSize> text{};
  size_t at = 0;
  for (const FileTypes::Row& type : FileTypes::kRows) {
    if (at > 0) text[at++] = '|';
    for (const char* c = type.name; *c != 0; ++c) text[at++] = *c;
  }
  return text;
}();

// Flags are numbers 0 or 1.
constexpr KeyRule kKeyRules[] = {
    {Key::Device, "device", kNone, kNone, kNone, ""},
    {Key::DeviceName, "deviceName", kNone, kNone, kNone, ""},
    {Key::Line, "line", kNone, kNone, kNone, ""},
    {Key::Rate, "rate", RecordingFormat::kMinRate, RecordingFormat::kMaxRate, 44100},
    {Key::Stereo, "stereo", 0, 1, 1},
    {Key::FileType, "type", kNone, kNone, kNone, FileTypes::kRows[FileTypes::TYPE_WAV].name, kTypeChoices.data()},
    {Key::WavFormatTag, "wavFormatTag", kNone, kNone, kNone, ""},
    {Key::WavFormat, "wavFormat", kNone, kNone, kNone, ""},
    {Key::FlacLevel, "flacLevel", 0, 12},
    {Key::OpusKbits, "opusBitRate", 6, 510},
    {Key::Mp3Kbits, "mp3BitRate", 8, 320},
    {Key::EffectsUsed, "effects", 0, 15, 0},
    {Key::EchoLength, "echoLength", 1, 1000},
    {Key::EchoAmp, "echoAmp", 0.1, 0.9},
    {Key::AmplifyDb, "amplifyDb", -12, 12},
    {Key::ShiftWet, "shiftWet", -1, 1},
    {Key::ShiftDry, "shiftDry", -1, 1},
    {Key::ShiftFeedback, "shiftFeedback", -0.9, 0.9},
    {Key::ShiftSweepRate, "shiftSweepRate", 0.1, 1.5},
    {Key::ShiftSweepRange, "shiftSweepRange", 3, 6},
    {Key::ShiftFrequency, "shiftFrequency", -10, 150},
    {Key::Band1, "band1", -12, 12},
    {Key::Band2, "band2", -12, 12},
    {Key::Band3, "band3", -12, 12},
    {Key::Band4, "band4", -12, 12},
    {Key::Band5, "band5", -12, 12},
    {Key::Band6, "band6", -12, 12},
    {Key::Band7, "band7", -12, 12},
    {Key::Band8, "band8", -12, 12},
    {Key::Band9, "band9", -12, 12},
    {Key::Band10, "band10", -12, 12},
    {Key::SoundActivated, "soundActivated", 0, 1},
    {Key::ThresholdDbfs, "threshold", SoundActivation::kLowestThresholdDbfs, SoundActivation::kHighestThresholdDbfs},
    {Key::HoldMs, "holdMs", 0, SoundActivation::kLongestHoldMs},
    {Key::PreRollSeconds, "preRoll", 0, SoundActivation::kLongestPreRollSeconds},
    {Key::HangSeconds, "hang", SoundActivation::kShortestHangSeconds, SoundActivation::kLongestHangSeconds},
    {Key::AfterSilence, "afterSilence", kNone, kNone, kNone, "pause", "pause|new-file"},
    {Key::SplitMinutes, "splitMinutes", 0, HandsFreeSettings::kLongestSplitMinutes},
    {Key::MonitorInput, "monitorInput", 0, 1, 1},
    {Key::PreRecordSeconds, "preRecord", 0, 600, 0},
    {Key::SecondDevice, "secondDevice", kNone, kNone, kNone, ""},
    {Key::SecondDeviceName, "secondDeviceName", kNone, kNone, kNone, ""},
    {Key::Tracks, "tracks", kNone, kNone, kNone, "mix"},
    {Key::OneMultichannelFile, "oneMultichannelFile", 0, 1, 0},
    {Key::FirstGainDb, "firstGainDb", SecondInputSettings::kLowestGainDb, SecondInputSettings::kHighestGainDb, 0},
    {Key::SecondGainDb, "secondGainDb", SecondInputSettings::kLowestGainDb, SecondInputSettings::kHighestGainDb, 0},
    {Key::RemoveComputerSound, "removeComputerSound", 0, 1, 1},
    {Key::GateOnEither, "gateOnEither", 0, 1, 0},
};
static_assert(std::size(kKeyRules) == RecorderSettings::kKeyCount);

constexpr bool InKeyOrder() {
  for (int i = 0; i < RecorderSettings::kKeyCount; ++i) {
    if (static_cast<int>(kKeyRules[i].key) != i) return false;
  }
  return true;
}
static_assert(InKeyOrder(), "kKeyRules is indexed by Key");

const KeyRule& RuleOf(Key key) { return kKeyRules[static_cast<int>(key)]; }
bool IsText(const KeyRule& rule) { return rule.text != nullptr; }

template <typename T>
T FromNumber(double value) {
  if constexpr (std::is_integral_v<T>) {
    return static_cast<T>(std::nearbyint(value));
  } else {
    return static_cast<T>(value);
  }
}

Key BandKey(size_t band) { return static_cast<Key>(static_cast<int>(Key::Band1) + static_cast<int>(band)); }

std::optional<Key> KeyNamed(QStringView name) {
  for (const KeyRule& rule : kKeyRules) {
    if (name == QLatin1StringView(rule.name)) return rule.key;
  }
  return std::nullopt;
}

// A key's name: letters and digits only.
bool IsKeyName(QStringView name) {
  return !name.isEmpty() &&
         std::all_of(name.begin(), name.end(), [](QChar c) { return c.isLetterOrNumber() && c.unicode() < 128; });
}

bool HasControlCharacters(QStringView text) {
  return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
}

std::optional<Key> SettingKeyOf(FileTypes::FileType type) {
  switch (type) {
    case FileTypes::TYPE_FLAC: return Key::FlacLevel;
    case FileTypes::TYPE_OPUS: return Key::OpusKbits;
    case FileTypes::TYPE_MP3: return Key::Mp3Kbits;
    case FileTypes::TYPE_WAV: break;  // its format has keys of its own
  }
  return std::nullopt;
}

}  // namespace

QString RecorderSettings::Load() {
  values_ = {};
  const SettingsFile::Contents contents = file_.Read();
  QString problem = contents.problem;
  if (problem.isEmpty() && contents.bytes && !Parse(*contents.bytes)) {
    values_ = {};
    problem = tr("文件已损坏");
  }
  if (problem.isEmpty()) return {};
  return tr("设置文件无法读取 (%1), 已使用默认设置").arg(problem);
}

bool RecorderSettings::Parse(const QByteArray& bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8);
  const QString text = utf8.decode(bytes);
  if (utf8.hasError()) return false;
  QList<QStringView> lines = QStringView(text).split(u'\n');
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();  // after the last line's end
  if (lines.size() < 2 || lines.front() != QLatin1StringView(kHeader) || lines.back() != QLatin1StringView(kEnd)) {
    return false;  // truncated, or not ours
  }
  for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
    const QStringView line = lines[i];
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0 || !IsKeyName(line.left(equals))) return false;
    const QStringView value = line.mid(equals + 1);
    if (value.size() > kLongestValue || HasControlCharacters(value)) return false;
    if (const auto key = KeyNamed(line.left(equals))) values_[static_cast<size_t>(*key)] = value.toString();
  }
  return true;
}

QByteArray RecorderSettings::Serialized() const {
  QByteArray out = QByteArray(kHeader) + "\n";
  for (const KeyRule& rule : kKeyRules) {
    if (const auto& value = values_[static_cast<size_t>(rule.key)]) out += QByteArray(rule.name) + "=" + value->toUtf8() + "\n";
  }
  return out + kEnd + "\n";
}

QString RecorderSettings::Save() {
  const QString why = file_.Write(Serialized());
  return why.isEmpty() ? QString() : tr("无法保存设置: %1").arg(why);
}

std::optional<double> RecorderSettings::Stored(Key key) const {
  const KeyRule& rule = RuleOf(key);
  const auto& value = values_[static_cast<size_t>(key)];
  if (IsText(rule) || !value) return std::nullopt;
  bool ok = false;
  const double number = value->toDouble(&ok);
  if (!ok || !std::isfinite(number)) return std::nullopt;
  return std::clamp(number, rule.lowest, rule.highest);
}

double RecorderSettings::Number(Key key) const { return Stored(key).value_or(RuleOf(key).fallback); }

template <typename T>
void RecorderSettings::Over(Key key, T& field) const {
  if (const auto stored = Stored(key)) field = FromNumber<T>(*stored);
}

int32_t RecorderSettings::Whole(Key key) const { return static_cast<int32_t>(std::nearbyint(Number(key))); }

bool RecorderSettings::Flag(Key key) const { return Whole(key) != 0; }

QString RecorderSettings::Text(Key key) const {
  const KeyRule& rule = RuleOf(key);
  const auto& value = values_[static_cast<size_t>(key)];
  if (!value) return QString::fromUtf8(rule.text);
  if (rule.choices && !QString::fromLatin1(rule.choices).split(u'|').contains(*value)) return QString::fromUtf8(rule.text);
  return *value;
}

void RecorderSettings::Set(Key key, double value) { values_[static_cast<size_t>(key)] = QString::number(value, 'g', 7); }

void RecorderSettings::Set(Key key, const QString& value) {
  // One line each: a line break or control character in a name would end its line early.
  QString plain = value.left(kLongestValue);
  for (QChar& c : plain) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = u' ';
  }
  values_[static_cast<size_t>(key)] = plain;
}

void RecorderSettings::SetFlag(Key key, bool value) { Set(key, value ? 1.0 : 0.0); }

EffectSettings RecorderSettings::EffectsOver(EffectSettings base) const {
  Over(Key::EffectsUsed, base.effectsUsed);
  Over(Key::EchoLength, base.echoLength);
  Over(Key::EchoAmp, base.echoAmp);
  Over(Key::AmplifyDb, base.amplifyDB);
  Over(Key::ShiftWet, base.phaseShiftWet);
  Over(Key::ShiftDry, base.phaseShiftDry);
  Over(Key::ShiftFeedback, base.phaseShiftFeedback);
  Over(Key::ShiftSweepRate, base.phaseShiftSweepRate);
  Over(Key::ShiftSweepRange, base.phaseShiftSweepRange);
  Over(Key::ShiftFrequency, base.phaseShiftFrequency);
  for (size_t band = 0; band < std::min<size_t>(base.bandGainsDB.size(), kMaxBands); ++band) {
    Over(BandKey(band), base.bandGainsDB[band]);
  }
  return base;
}

void RecorderSettings::Effects(const EffectSettings& settings) {
  Set(Key::EffectsUsed, settings.effectsUsed);
  Set(Key::EchoLength, settings.echoLength);
  Set(Key::EchoAmp, settings.echoAmp);
  Set(Key::AmplifyDb, settings.amplifyDB);
  Set(Key::ShiftWet, settings.phaseShiftWet);
  Set(Key::ShiftDry, settings.phaseShiftDry);
  Set(Key::ShiftFeedback, settings.phaseShiftFeedback);
  Set(Key::ShiftSweepRate, settings.phaseShiftSweepRate);
  Set(Key::ShiftSweepRange, settings.phaseShiftSweepRange);
  Set(Key::ShiftFrequency, settings.phaseShiftFrequency);
  for (size_t band = 0; band < std::min<size_t>(settings.bandGainsDB.size(), kMaxBands); ++band) {
    Set(BandKey(band), settings.bandGainsDB[band]);
  }
}

std::optional<int32_t> RecorderSettings::CompressedSetting(FileTypes::FileType type) const {
  const std::optional<Key> key = SettingKeyOf(type);
  const std::optional<double> stored = key ? Stored(*key) : std::nullopt;
  if (!stored) return std::nullopt;
  return static_cast<int32_t>(std::nearbyint(*stored));
}

void RecorderSettings::CompressedSetting(FileTypes::FileType type, std::optional<int32_t> value) {
  const std::optional<Key> key = SettingKeyOf(type);
  if (!key) return;
  if (value) {
    Set(*key, *value);
  } else {
    values_[static_cast<size_t>(*key)].reset();
  }
}

HandsFreeSettings RecorderSettings::HandsFree() const {
  HandsFreeSettings settings;
  SoundActivation& sound = settings.sound;
  if (const auto enabled = Stored(Key::SoundActivated)) sound.enabled = *enabled >= 0.5;
  Over(Key::ThresholdDbfs, sound.thresholdDbfs);
  Over(Key::HoldMs, sound.holdMs);
  Over(Key::PreRollSeconds, sound.preRollSeconds);
  Over(Key::HangSeconds, sound.hangSeconds);
  if (Text(Key::AfterSilence) == u"new-file") sound.afterSilence = SoundActivation::AfterSilence::NewFile;
  Over(Key::SplitMinutes, settings.splitMinutes);
  return settings;
}

void RecorderSettings::HandsFree(const HandsFreeSettings& settings) {
  const SoundActivation& sound = settings.sound;
  SetFlag(Key::SoundActivated, sound.enabled);
  Set(Key::ThresholdDbfs, sound.thresholdDbfs);
  Set(Key::HoldMs, sound.holdMs);
  Set(Key::PreRollSeconds, sound.preRollSeconds);
  Set(Key::HangSeconds, sound.hangSeconds);
  Set(Key::AfterSilence, QString::fromLatin1(sound.afterSilence == SoundActivation::AfterSilence::NewFile ? "new-file" : "pause"));
  Set(Key::SplitMinutes, settings.splitMinutes);
}

SecondInputSettings RecorderSettings::SecondInput() const {
  SecondInputSettings settings;
  settings.sourceName = Text(Key::SecondDevice).toStdString();
  settings.tracks = TrackLayoutNames::Named(Text(Key::Tracks).toStdString()).value_or(TrackLayout::Mix);
  settings.oneMultichannelFile = Flag(Key::OneMultichannelFile);
  settings.firstGainDb = Number(Key::FirstGainDb);
  settings.secondGainDb = Number(Key::SecondGainDb);
  settings.removeComputerSound = Flag(Key::RemoveComputerSound);
  settings.gateOnEither = Flag(Key::GateOnEither);
  return settings;
}

void RecorderSettings::SecondInput(const SecondInputSettings& settings) {
  Set(Key::SecondDevice, QString::fromStdString(settings.sourceName));
  const std::string_view tracks = TrackLayoutNames::Name(settings.tracks);
  Set(Key::Tracks, QString::fromLatin1(tracks.data(), static_cast<qsizetype>(tracks.size())));
  SetFlag(Key::OneMultichannelFile, settings.oneMultichannelFile);
  Set(Key::FirstGainDb, settings.firstGainDb);
  Set(Key::SecondGainDb, settings.secondGainDb);
  SetFlag(Key::RemoveComputerSound, settings.removeComputerSound);
  SetFlag(Key::GateOnEither, settings.gateOnEither);
}
