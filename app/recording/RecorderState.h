// RecorderState: the one state of the recorder as the window shows it, and its
// transitions:
//
//   Idle ──start clicked──> Starting ──capture runs──> Recording ⇄ Paused (pause/resume, cut to the sample)
//   Starting ──refused (no device, no file, ...)──> Idle
//   Recording, Paused ──stop clicked, quit, signal──> Finishing ──queue written, file closed,
//                                                                next numbered file prepared──> Idle
//   Recording, Paused ──write failure, full disk, device lost──> Idle (finished on the spot, then reported)
//
// Starting and Finishing come from the window (a request is on its way to the
// recording thread); Recording, Paused and Idle from the recording thread.
#pragma once

enum class RecorderState { Idle, Starting, Recording, Paused, Finishing };
