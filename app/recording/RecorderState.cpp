#include "app/recording/RecorderState.h"

#include <array>
#include <utility>

namespace {

using S = RecorderState;

constexpr std::array<std::pair<S, S>, 20> kMoves{{
    {S::Idle, S::Starting},
    {S::Idle, S::Monitoring},
    {S::Monitoring, S::Idle},
    {S::Monitoring, S::Starting},
    {S::Starting, S::Idle},
    {S::Starting, S::Monitoring},
    {S::Starting, S::Recording},
    {S::Starting, S::WaitingForSound},
    {S::Starting, S::Finishing},
    {S::Recording, S::Paused},
    {S::Recording, S::WaitingForSound},
    {S::Recording, S::Finishing},
    {S::Paused, S::Recording},
    {S::Paused, S::WaitingForSound},
    {S::Paused, S::Finishing},
    {S::WaitingForSound, S::Recording},
    {S::WaitingForSound, S::Paused},
    {S::WaitingForSound, S::Finishing},
    {S::Finishing, S::Idle},
    {S::Finishing, S::Monitoring},
}};

}  // namespace

bool CanMove(RecorderState from, RecorderState to) {
  if (from == to) return true;
  for (const auto& [a, b] : kMoves) {
    if (a == from && b == to) return true;
  }
  return false;
}

bool TakeRuns(RecorderState state) {
  return state == S::Recording || state == S::Paused || state == S::WaitingForSound;
}

bool AtRest(RecorderState state) { return state == S::Idle || state == S::Monitoring; }
