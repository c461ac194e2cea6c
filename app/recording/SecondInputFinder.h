// SecondInputFinder: the second input a door's start asked for (a device's
// name or description, and where the tracks go) as the settings the start
// takes: the window's choice with what was asked put over it. A name no
// device has is refused as an unknown first device is. Window's thread only.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/recording/RecorderControl.h"
#include "app/recording/SecondInputSettings.h"

class WaveInRecorder;

class SecondInputFinder {
 public:
  struct Found {
    bool ok = true;
    std::optional<SecondInputSettings> settings;  // none: as chosen (nothing was asked)
    std::string refusal;                          // why not, when !ok
  };

  // `devices` lists the devices; `chosen` tells the window's choice at the moment of the start. Both outlive this.
  SecondInputFinder(WaveInRecorder& devices, std::function<SecondInputSettings()> chosen);

  // `device` and `tracks` (a TrackNames word) as given; empty: as chosen. A
  // device not chosen before removes the computer's sound from the first
  // input when it is a monitor of an output.
  Found Find(const std::string& device, const std::string& tracks) const;
  // `control` starts `request` with the second input found; refused, without a start, when none is.
  RecorderControl::Result Start(RecorderControl& control, RecordingRequest request, const std::string& device,
                                const std::string& tracks) const;

 private:
  WaveInRecorder& devices_;
  std::function<SecondInputSettings()> chosen_;
};
