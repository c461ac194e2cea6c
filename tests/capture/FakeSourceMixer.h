// FakeSourceMixer: sources held in memory for the device and line tests; a
// test edits `sources` directly (e.g. removes one to make it vanish).
#pragma once

#include "capture/SourceMixer.h"

class FakeSourceMixer : public SourceMixer {
 public:
  std::vector<SourceDescription> ListSources() override { return sources; }
  std::optional<SourceDescription> ReadSource(const std::string& name) override;
  bool SetActivePort(const std::string& source, const std::string& port) override;
  bool SetVolume(const std::string& source, uint32_t volume) override;
  std::string DefaultOutputMonitor() override { return defaultOutputMonitor; }

  std::vector<SourceDescription> sources;
  std::string defaultOutputMonitor;

 private:
  SourceDescription* Find(const std::string& name);
};
