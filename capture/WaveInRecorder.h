// WaveInRecorder: records 16-bit PCM from one input device through a ring of
// capture buffers and hands every filled buffer to its owner as the GotData event,
// on the UI thread. It also lists the input devices and the selected device's
// lines (ports) and works the line's record level.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

class MessageBoxService;

class WaveInRecorder {
 public:
  // Real PulseAudio backend; hook errors are shown through `messageBoxes`
  // (nullptr: logged only).
  explicit WaveInRecorder(MessageBoxService* messageBoxes = nullptr);
  ~WaveInRecorder();  // stops a running recording
  WaveInRecorder(const WaveInRecorder&) = delete;
  WaveInRecorder& operator=(const WaveInRecorder&) = delete;

  // Raised on the UI thread for every filled buffer: intBuffer is the buffer's
  // whole sample array (BufferSize / 2 elements, the engine's own: copy what you
  // keep), lngLen the valid byte count. StopRecord may be called from inside.
  std::function<void(std::span<int16_t> intBuffer, int32_t& lngLen)> GotData;

  bool IsRecording() const;
  bool StopRecord();
  bool StartRecord(int32_t samplerate, int16_t Channels);
  int32_t BufferCount() const;
  void BufferCount(int32_t Index);
  int32_t BufferSize() const;  // bytes
  void BufferSize(int32_t bytes);

  int32_t DeviceCount();
  std::string DeviceName(int32_t Index);
  bool SelectDevice(int32_t Index);
  int32_t MixerLineCount();
  std::string MixerLineName(int32_t Index);
  bool SelectMixerLine(int32_t Index);
  int32_t SelectedDevice() const;
  int32_t SelectedMixerLine();
  int32_t MixerLineType(int32_t Index);
  int32_t MixerLineVolume();
  void MixerLineVolume(int32_t Volume);

 private:
  // Implementation state: see WaveInRecorder.cpp.
};
