// FakeSourceMixer: in-memory sources.
#include "tests/capture/FakeSourceMixer.h"

SourceDescription* FakeSourceMixer::Find(const std::string& name) {
  for (SourceDescription& source : sources) {
    if (source.name == name) return &source;
  }
  return nullptr;
}

std::optional<SourceDescription> FakeSourceMixer::ReadSource(const std::string& name) {
  if (const SourceDescription* source = Find(name)) return *source;
  return std::nullopt;
}

bool FakeSourceMixer::SetActivePort(const std::string& source, const std::string& port) {
  SourceDescription* found = Find(source);
  if (found == nullptr) return false;
  for (size_t i = 0; i < found->ports.size(); ++i) {
    if (found->ports[i].name == port) {
      found->activePort = static_cast<int32_t>(i);
      return true;
    }
  }
  return false;
}

bool FakeSourceMixer::SetVolume(const std::string& source, uint32_t volume) {
  SourceDescription* found = Find(source);
  if (found == nullptr) return false;
  for (uint32_t& channel : found->volume) channel = volume;
  return true;
}
