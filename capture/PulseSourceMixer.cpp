// PulseSourceMixer: source introspection and control on libpulse.
#include "capture/PulseSourceMixer.h"

#include <cstring>

#include "capture/PulseConnection.h"

namespace {

int32_t PortComponentType(const pa_source_port_info& port) {
  switch (port.type) {
    case PA_DEVICE_PORT_TYPE_MIC:
    case PA_DEVICE_PORT_TYPE_HEADSET:
    case PA_DEVICE_PORT_TYPE_HANDSET:
      return MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
    case PA_DEVICE_PORT_TYPE_LINE:
      return MIXERLINE_COMPONENTTYPE_SRC_LINE;
    case PA_DEVICE_PORT_TYPE_SPDIF:
    case PA_DEVICE_PORT_TYPE_HDMI:
    case PA_DEVICE_PORT_TYPE_USB:
      return MIXERLINE_COMPONENTTYPE_SRC_DIGITAL;
    case PA_DEVICE_PORT_TYPE_ANALOG:
      return MIXERLINE_COMPONENTTYPE_SRC_ANALOG;
    default:
      return MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED;
  }
}

SourceDescription Describe(const pa_source_info& info) {
  SourceDescription source;
  source.name = info.name != nullptr ? info.name : "";
  source.description = info.description != nullptr ? info.description : source.name;
  source.componentType = info.monitor_of_sink != PA_INVALID_INDEX
                             ? MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT
                             : MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED;
  for (uint32_t i = 0; i < info.n_ports; ++i) {
    const pa_source_port_info& port = *info.ports[i];
    source.ports.push_back({port.name, port.description != nullptr ? port.description : port.name,
                            PortComponentType(port)});
    if (info.active_port == info.ports[i]) source.activePort = static_cast<int32_t>(i);
  }
  for (uint8_t c = 0; c < info.volume.channels; ++c) source.volume.push_back(info.volume.values[c]);
  return source;
}

// Collects the sources of one info query; signals the waiting thread at the end.
struct SourceCollector {
  PulseConnection* connection;
  std::vector<SourceDescription> sources;

  static void OnSource(pa_context*, const pa_source_info* info, int eol, void* self) {
    auto* collector = static_cast<SourceCollector*>(self);
    if (eol == 0 && info != nullptr) collector->sources.push_back(Describe(*info));
    if (eol != 0) collector->connection->Signal();
  }
};

// The default sink's name, then that sink's monitor source.
struct MonitorFinder {
  PulseConnection* connection;
  std::string sink;
  std::string monitor;

  static void OnServer(pa_context*, const pa_server_info* info, void* self) {
    auto* finder = static_cast<MonitorFinder*>(self);
    if (info != nullptr && info->default_sink_name != nullptr) finder->sink = info->default_sink_name;
    finder->connection->Signal();
  }
  static void OnSink(pa_context*, const pa_sink_info* info, int eol, void* self) {
    auto* finder = static_cast<MonitorFinder*>(self);
    if (eol == 0 && info != nullptr && info->monitor_source_name != nullptr) finder->monitor = info->monitor_source_name;
    if (eol != 0) finder->connection->Signal();
  }
};

// The success flag of a set operation; the connection is signalled by the
// operation's state change.
void OnSuccess(pa_context*, int success, void* result) { *static_cast<int*>(result) = success; }

}  // namespace

PulseSourceMixer::PulseSourceMixer(std::shared_ptr<PulseConnection> connection)
    : connection_(std::move(connection)) {}

std::vector<SourceDescription> PulseSourceMixer::ListSources() {
  PulseConnection::Lock lock(*connection_);
  if (!connection_->EnsureConnected()) return {};
  SourceCollector collector{connection_.get(), {}};
  if (!connection_->WaitOperation(pa_context_get_source_info_list(
          connection_->Context(), &SourceCollector::OnSource, &collector))) {
    return {};
  }
  return collector.sources;
}

std::optional<SourceDescription> PulseSourceMixer::ReadSource(const std::string& name) {
  PulseConnection::Lock lock(*connection_);
  if (!connection_->EnsureConnected()) return std::nullopt;
  SourceCollector collector{connection_.get(), {}};
  if (!connection_->WaitOperation(pa_context_get_source_info_by_name(
          connection_->Context(), name.c_str(), &SourceCollector::OnSource, &collector)) ||
      collector.sources.empty()) {
    return std::nullopt;
  }
  return collector.sources.front();
}

bool PulseSourceMixer::SetActivePort(const std::string& source, const std::string& port) {
  PulseConnection::Lock lock(*connection_);
  if (!connection_->EnsureConnected()) return false;
  int success = 0;
  return connection_->WaitOperation(pa_context_set_source_port_by_name(
             connection_->Context(), source.c_str(), port.c_str(), OnSuccess, &success)) &&
         success != 0;
}

bool PulseSourceMixer::SetVolume(const std::string& source, uint32_t volume) {
  PulseConnection::Lock lock(*connection_);
  if (!connection_->EnsureConnected()) return false;
  // The channel count must match the source's own map.
  SourceCollector collector{connection_.get(), {}};
  if (!connection_->WaitOperation(pa_context_get_source_info_by_name(
          connection_->Context(), source.c_str(), &SourceCollector::OnSource, &collector)) ||
      collector.sources.empty()) {
    return false;
  }
  const auto channels = static_cast<unsigned>(collector.sources.front().volume.size());
  if (channels == 0) return false;
  pa_cvolume levels;
  pa_cvolume_set(&levels, channels, volume > PA_VOLUME_MAX ? PA_VOLUME_MAX : volume);
  int success = 0;
  return connection_->WaitOperation(pa_context_set_source_volume_by_name(
             connection_->Context(), source.c_str(), &levels, OnSuccess, &success)) &&
         success != 0;
}

std::string PulseSourceMixer::DefaultOutputMonitor() {
  PulseConnection::Lock lock(*connection_);
  if (!connection_->EnsureConnected()) return {};
  MonitorFinder finder{connection_.get()};
  if (!connection_->WaitOperation(pa_context_get_server_info(connection_->Context(), &MonitorFinder::OnServer, &finder)) ||
      finder.sink.empty()) {
    return {};
  }
  if (!connection_->WaitOperation(pa_context_get_sink_info_by_name(connection_->Context(), finder.sink.c_str(),
                                                                   &MonitorFinder::OnSink, &finder))) {
    return {};
  }
  return finder.monitor;
}
