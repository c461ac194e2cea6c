#include "app/windows/RecorderButtons.h"

#include "app/recording/RecordingController.h"

RecorderButtons RecorderButtons::For(RecorderState state) {
  const bool running = TakeRuns(state) || state == RecorderState::Finishing;
  return {.startStop = QString::fromStdString(running ? RecordingController::StopCaption()
                                                      : RecordingController::StartCaption()),
          .pauseEnabled = TakeRuns(state),
          .pause = QString::fromStdString(state == RecorderState::Paused ? RecordingController::ResumeCaption()
                                                                         : RecordingController::PauseCaption()),
          .settingsEnabled = !running};
}
