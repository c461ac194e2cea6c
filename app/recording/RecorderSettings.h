// RecorderSettings: the choices the program remembers between runs (device,
// line, rate, channels, file type, WAV format, effects, hands-free recording,
// monitoring, pre-record, the second input), each a typed key with its default and range in one
// table. Kept in a SettingsFile as lines "key=value" between "[Tamblin]" and
// "[end]", UTF-8.
//
// A file that is not whole (no end line, a line that is no setting, bytes that
// are no UTF-8) counts as damaged: every setting takes its default and Load
// says so. A number out of its range is clamped; a value a key does not take
// (an unknown type, a rate that is no number) gives that key's default. Keys
// this version does not know are dropped. The record level is the device's
// own and is not kept here.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "app/handsfree/HandsFreeSettings.h"
#include "app/recording/SecondInputSettings.h"
#include "common/FileTypes.h"
#include "effects/EffectSettings.h"

class SettingsFile;

class RecorderSettings {
  Q_DECLARE_TR_FUNCTIONS(RecorderSettings)

 public:
  enum class Key {
    Device,      // the source's stable name
    DeviceName,  // its description, to name it when it is gone
    Line,        // the line's name
    Rate,        // Hz
    Stereo,
    FileType,       // a FileTypes name
    WavFormatTag,   // the WAV format's family ("IMA ADPCM"), as the catalogue names it
    WavFormat,      // its description ("22.050 kHz, 4 Bit, Mono")
    FlacLevel, OpusKbits, Mp3Kbits,  // the compressed types' settings; unset: the type's default
    EffectsUsed,    // EffectsUsedBits
    EchoLength, EchoAmp, AmplifyDb,
    ShiftWet, ShiftDry, ShiftFeedback, ShiftSweepRate, ShiftSweepRange, ShiftFrequency,
    Band1, Band2, Band3, Band4, Band5, Band6, Band7, Band8, Band9, Band10,  // equalizer gains, dB
    SoundActivated, ThresholdDbfs, HoldMs, PreRollSeconds, HangSeconds, AfterSilence,  // "pause", "new-file"
    SplitMinutes,  // 0: off
    MonitorInput,
    PreRecordSeconds,
    SecondDevice, SecondDeviceName,  // the second input's source name (empty: none) and description
    Tracks,                          // a TrackNames word
    OneMultichannelFile, FirstGainDb, SecondGainDb, RemoveComputerSound, GateOnEither,
  };
  static constexpr int kKeyCount = static_cast<int>(Key::GateOnEither) + 1;
  static constexpr int kMaxBands = 10;

  explicit RecorderSettings(SettingsFile& file) : file_(file) {}

  // Reads the file; on any problem every setting is its default. Returns the
  // one-line notice for the user, empty when the file was fine or absent.
  QString Load();
  // Writes every setting held; empty when written, else the notice.
  QString Save();

  // A number clamped to the key's range, or its default when unset or no number.
  double Number(Key key) const;
  int32_t Whole(Key key) const;  // Number, rounded half to even
  bool Flag(Key key) const;
  // The text as stored; the default when unset or, for a key with a fixed set
  // of values, not one of them.
  QString Text(Key key) const;
  void Set(Key key, double value);
  void Set(Key key, const QString& value);
  void SetFlag(Key key, bool value);

  // `base` with the stored effect settings put over it (its band count stays).
  EffectSettings EffectsOver(EffectSettings base) const;
  void Effects(const EffectSettings& settings);
  // The setting chosen for a compressed type (FLAC level, Opus or MP3 kbit/s),
  // clamped to the range its codec takes; nothing for WAV or when none was
  // chosen (the encoder checks it is one of its choices).
  std::optional<int32_t> CompressedSetting(FileTypes::FileType type) const;
  void CompressedSetting(FileTypes::FileType type, std::optional<int32_t> value);
  HandsFreeSettings HandsFree() const;
  void HandsFree(const HandsFreeSettings& settings);
  // Kept for the input monitor and the pre-record buffer: on by default; 0 ... 600 s, 0 by default.
  bool MonitorInput() const { return Flag(Key::MonitorInput); }
  int32_t PreRecordSeconds() const { return Whole(Key::PreRecordSeconds); }
  // The second input by its source name (its description is SecondDeviceName's
  // to keep), the gains clamped to SecondInputSettings' range.
  SecondInputSettings SecondInput() const;
  void SecondInput(const SecondInputSettings& settings);

  // The file's contents for what is held now.
  QByteArray Serialized() const;

 private:
  // The stored number of `key`, clamped; none when unset or no number.
  std::optional<double> Stored(Key key) const;
  // `field` takes the stored number of `key` (rounded for whole numbers), when there is one.
  template <typename T>
  void Over(Key key, T& field) const;
  // False when `bytes` is no whole settings file; what it holds is then not taken.
  bool Parse(const QByteArray& bytes);

  SettingsFile& file_;
  std::array<std::optional<QString>, kKeyCount> values_;
};
