// DeviceNames: the input devices a --device option may name, for the message
// that refuses a name no device has. Each as "server name (description)";
// either part is a name --device takes.
#pragma once

#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>

class WaveInRecorder;

class DeviceNames {
 public:
  // As `recorder` last enumerated them, in its order.
  static QStringList Listed(WaveInRecorder& recorder);
  // The index of the device whose description or server name is `name`.
  static std::optional<int32_t> IndexOf(WaveInRecorder& recorder, const std::string& name);
  // The one-line refusal of a `name` no device has, with the names that would work.
  static std::string Unknown(WaveInRecorder& recorder, const std::string& name);
};
