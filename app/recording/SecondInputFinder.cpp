#include "app/recording/SecondInputFinder.h"

#include <QCoreApplication>

#include "app/platform/TrackNames.h"
#include "app/recording/DeviceNames.h"
#include "app/recording/TrackLayoutNames.h"
#include "capture/WaveInRecorder.h"

SecondInputFinder::SecondInputFinder(WaveInRecorder& devices, std::function<SecondInputSettings()> chosen)
    : devices_(devices), chosen_(std::move(chosen)) {}

SecondInputFinder::Found SecondInputFinder::Find(const std::string& device, const std::string& tracks) const {
  if (device.empty() && tracks.empty()) return {};
  SecondInputSettings settings = chosen_();
  if (!tracks.empty()) {
    const std::optional<TrackLayout> layout = TrackLayoutNames::Named(tracks);
    if (!layout) {
      return {false, std::nullopt,
              QCoreApplication::translate("SecondInputFinder", "未知的轨道 \"%1\", 可用: %2")
                  .arg(QString::fromStdString(tracks), QString::fromStdString(TrackNames::Listed(", ")))
                  .toStdString()};
    }
    settings.tracks = *layout;
  }
  if (!device.empty()) {
    const std::optional<int32_t> found = DeviceNames::IndexOf(devices_, device);
    if (!found) return {false, std::nullopt, DeviceNames::Unknown(devices_, device)};
    const std::string source = devices_.DeviceSourceName(*found);
    if (source != settings.sourceName) settings.removeComputerSound = devices_.DeviceIsOutputMonitor(*found);
    settings.sourceName = source;
  }
  return {true, settings, {}};
}

RecorderControl::Result SecondInputFinder::Start(RecorderControl& control, RecordingRequest request,
                                                 const std::string& device, const std::string& tracks) const {
  Found found = Find(device, tracks);
  if (!found.ok) return {false, std::move(found.refusal)};
  request.second = std::move(found.settings);
  return control.Start(request);
}
