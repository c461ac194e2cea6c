// RecorderState: the one state of the recorder, stored by RecordingMonitor and
// moved only through CanMove's table, which every door and view reads.
//
//   Idle ──start──> Starting ──capture runs──> Recording ⇄ Paused (pause/resume, cut to the sample)
//                   Starting ──sound gate armed──> WaitingForSound ⇄ Recording (a take begins / ends)
//   Starting ──refused (no device, no file, ...)──> Idle
//   Idle ⇄ Monitoring (input open, nothing written); Monitoring ──start──> Starting
//   Starting ──refused while the input stays open──> Monitoring
//   Starting, Recording, Paused, WaitingForSound ──stop, quit, signal, failure, device lost──> Finishing
//   Finishing ──queue written, file closed, next numbered file prepared──> Idle, or
//             Monitoring when the input stays open for the meters
//   WaitingForSound ⇄ Paused (a pause while no take runs)
//
// A stop is taken in one step from any running state, so a stop that meets a
// failure's own stop finds Finishing and never becomes a start.
#pragma once

enum class RecorderState { Idle, Monitoring, Starting, WaitingForSound, Recording, Paused, Finishing };

// Whether the table above allows `from` -> `to` (staying put is always allowed).
bool CanMove(RecorderState from, RecorderState to);
// A take is open: Recording, Paused or WaitingForSound.
bool TakeRuns(RecorderState state);
// Nothing starts, runs or finishes: Idle or Monitoring.
bool AtRest(RecorderState state);
