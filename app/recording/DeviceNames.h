// DeviceNames: the input devices a --device option may name, for the message
// that refuses a name no device has. Each as "server name (description)";
// either part is a name --device takes.
#pragma once

#include <QStringList>

class WaveInRecorder;

class DeviceNames {
 public:
  // As `recorder` last enumerated them, in its order.
  static QStringList Listed(WaveInRecorder& recorder);
};
