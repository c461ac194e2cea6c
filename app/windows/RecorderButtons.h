// RecorderButtons: what the recording buttons and the tray's recording items
// show in each RecorderState, decided on the window's thread from the state
// alone, so the buttons and the tray always agree.
//
//   state            start/stop   pause (enabled)   input and output frames
//   Idle, Monitoring 开始录音      暂停 (no)          usable
//   Starting         开始录音      暂停 (no)          usable (refused: the choices stay)
//   Recording        停止录音      暂停 (yes)         disabled
//   WaitingForSound  停止录音      暂停 (yes)         disabled
//   Paused           停止录音      继续 (yes)         disabled
//   Finishing        停止录音      暂停 (no)          disabled
#pragma once

#include <QString>

#include "app/recording/RecorderState.h"

struct RecorderButtons {
  QString startStop;
  bool pauseEnabled = false;  // the mark button and item too
  QString pause;
  bool settingsEnabled = true;

  static RecorderButtons For(RecorderState state);
};
