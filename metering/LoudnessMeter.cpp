#include "metering/LoudnessMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>

#include "metering/ClipCounter.h"

namespace {

// Cheapest mode with momentary, short-term, integrated and range; the true peak is TruePeakDetector's.
constexpr int kMode = EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_HISTOGRAM;
constexpr int64_t kSlowValuesEvery = 5;  // momentary refreshes (100 ms each)

double Decibels(double linear) { return linear > 0 ? 20.0 * std::log10(linear) : LoudnessReading::kNone; }

// The library's value, or "none" when it has none (too little audio, silence).
double Loudness(int (*query)(ebur128_state*, double*), ebur128_state* state) {
  double value = LoudnessReading::kNone;
  if (query(state, &value) != EBUR128_SUCCESS || !std::isfinite(value)) return LoudnessReading::kNone;
  return value;
}

}  // namespace

struct LoudnessMeter::State {
  ebur128_state* library = nullptr;
  ~State() {
    if (library != nullptr) ebur128_destroy(&library);
  }
};

LoudnessMeter::LoudnessMeter() : state_(std::make_unique<State>()) {}

LoudnessMeter::~LoudnessMeter() = default;

bool LoudnessMeter::Begin(int32_t rate, int16_t channels) {
  state_ = std::make_unique<State>();
  live_ = {};
  channels_ = 0;
  framesSinceMomentary_ = momentariesSinceSlow_ = 0;
  if (!truePeak_.Begin(rate, channels, ClipCounter::kTruePeakLimit)) return false;
  state_->library = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate), kMode);
  if (state_->library == nullptr) return false;
  channels_ = channels;
  framesPer100Ms_ = std::max<int64_t>(rate / 10, 1);
  return true;
}

void LoudnessMeter::Add(std::span<const int16_t> samples) {
  if (state_->library == nullptr) return;
  const size_t frames = samples.size() / static_cast<size_t>(channels_);
  if (frames == 0) return;
  ebur128_add_frames_short(state_->library, samples.data(), frames);
  truePeak_.Add(samples);
  framesSinceMomentary_ += static_cast<int64_t>(frames);
  if (framesSinceMomentary_ < framesPer100Ms_) return;
  framesSinceMomentary_ %= framesPer100Ms_;
  RefreshMomentary();
  if (++momentariesSinceSlow_ >= kSlowValuesEvery) {
    momentariesSinceSlow_ = 0;
    RefreshSlowValues();
  }
}

LoudnessReading LoudnessMeter::Final() {
  if (state_->library != nullptr) {
    RefreshMomentary();
    RefreshSlowValues();
  }
  return live_;
}

void LoudnessMeter::RefreshMomentary() {
  live_.momentary = Loudness(ebur128_loudness_momentary, state_->library);
  live_.maxMomentary = std::max(live_.maxMomentary, live_.momentary);
}

void LoudnessMeter::RefreshSlowValues() {
  ebur128_state* library = state_->library;
  // The 3 s window costs a sum over all its samples: sampled with the rest,
  // which a 3 s average hardly outruns.
  live_.shortTerm = Loudness(ebur128_loudness_shortterm, library);
  live_.maxShortTerm = std::max(live_.maxShortTerm, live_.shortTerm);
  live_.integrated = Loudness(ebur128_loudness_global, library);
  double range = 0;
  live_.range = ebur128_loudness_range(library, &range) == EBUR128_SUCCESS && std::isfinite(range) ? range : 0;
  live_.truePeak = Decibels(truePeak_.Peak());
}
