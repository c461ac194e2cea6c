// EffectSettings: every parameter of the effects chain as one value, so the
// window's settings can be handed to the chain that runs on the recording
// thread (clsDSP::Settings and clsDSP::Apply). Units as clsDSP's properties.
#pragma once

#include <cstdint>
#include <vector>

struct EffectSettings {
  int32_t effectsUsed = 0;
  int32_t echoLength = 0;  // ms
  float echoAmp = 0;
  int32_t amplifyDB = 0;
  float phaseShiftWet = 0;
  float phaseShiftDry = 0;
  float phaseShiftFeedback = 0;
  float phaseShiftSweepRate = 0;   // Hz
  float phaseShiftSweepRange = 0;  // octaves
  float phaseShiftFrequency = 0;   // Hz
  std::vector<float> bandGainsDB;  // one per equalizer band
};
