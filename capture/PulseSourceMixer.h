// PulseSourceMixer: SourceMixer on the audio server: sources with their ports,
// active port and volume, read and set through a shared PulseConnection.
#pragma once

#include <memory>

#include "capture/SourceMixer.h"

class PulseConnection;

class PulseSourceMixer : public SourceMixer {
 public:
  explicit PulseSourceMixer(std::shared_ptr<PulseConnection> connection);

  std::vector<SourceDescription> ListSources() override;
  std::optional<SourceDescription> ReadSource(const std::string& name) override;
  bool SetActivePort(const std::string& source, const std::string& port) override;
  bool SetVolume(const std::string& source, uint32_t volume) override;
  std::string DefaultOutputMonitor() override;

 private:
  std::shared_ptr<PulseConnection> connection_;
};
