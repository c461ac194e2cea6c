// SourceMixer: the input devices (audio sources) of the system with their ports
// and record level, as the capture engine's device and line members need them.
// Every call is bounded in time; with no audio server the lists are empty and
// the setters fail.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Line component types reported by MixerLineType.
constexpr int32_t MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED = 0x1000;
constexpr int32_t MIXERLINE_COMPONENTTYPE_SRC_DIGITAL = 0x1001;
constexpr int32_t MIXERLINE_COMPONENTTYPE_SRC_LINE = 0x1002;
constexpr int32_t MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE = 0x1003;
constexpr int32_t MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT = 0x1008;  // what the machine plays
constexpr int32_t MIXERLINE_COMPONENTTYPE_SRC_ANALOG = 0x100A;

struct SourcePort {
  std::string name;         // the server's port name
  std::string description;  // shown to the user
  int32_t componentType = MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED;
};

struct SourceDescription {
  std::string name;         // the server's source name
  std::string description;  // shown to the user
  int32_t componentType = MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED;  // of the source itself
  std::vector<SourcePort> ports;
  int32_t activePort = -1;           // index into ports, -1 when none
  std::vector<uint32_t> volume;      // raw per-channel volume, 65536 = 100 %
};

class SourceMixer {
 public:
  virtual ~SourceMixer() = default;
  // Every source, monitors included, in the server's order.
  virtual std::vector<SourceDescription> ListSources() = 0;
  // The source's current state, or nothing when it is gone.
  virtual std::optional<SourceDescription> ReadSource(const std::string& name) = 0;
  virtual bool SetActivePort(const std::string& source, const std::string& port) = 0;
  // Sets every channel of the source to `volume` (raw, 65536 = 100 %).
  virtual bool SetVolume(const std::string& source, uint32_t volume) = 0;
  // The source that hears the default output (the default sink's monitor): what
  // the computer plays. Empty when there is none or no server answers.
  virtual std::string DefaultOutputMonitor() = 0;
};
