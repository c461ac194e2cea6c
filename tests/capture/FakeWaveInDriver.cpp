// FakeWaveInDriver: call log, chosen failures and test-driven buffer filling.
#include "tests/capture/FakeWaveInDriver.h"

#include <algorithm>
#include <cstring>

MMRESULT FakeWaveInDriver::Log(const std::string& call) {
  calls.push_back(call);
  return failing_.count(call) != 0 ? MMSYSERR_ERROR : MMSYSERR_NOERROR;
}

MMRESULT FakeWaveInDriver::Open(const std::string& sourceName, const WAVEFORMATEX& format,
                                WindowHandle callbackWindow) {
  if (Log("open") != MMSYSERR_NOERROR) return MMSYSERR_BADDEVICEID;
  openedSource = sourceName;
  openedFormat = format;
  window = callbackWindow;
  open_ = true;
  handedBackBytes_ = 0;
  return MMSYSERR_NOERROR;
}

MMRESULT FakeWaveInDriver::Prepare(WAVEHDR* header) {
  if (Log("prepare " + std::to_string(header->dwUser)) != MMSYSERR_NOERROR) return MMSYSERR_ERROR;
  header->dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT FakeWaveInDriver::Unprepare(WAVEHDR* header) {
  if (Log("unprepare " + std::to_string(header->dwUser)) != MMSYSERR_NOERROR) return MMSYSERR_ERROR;
  if ((header->dwFlags & WHDR_INQUEUE) != 0) return WAVERR_STILLPLAYING;
  header->dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT FakeWaveInDriver::AddBuffer(WAVEHDR* header) {
  if (Log("add " + std::to_string(header->dwUser)) != MMSYSERR_NOERROR) return MMSYSERR_ERROR;
  if (!open_) return MMSYSERR_INVALHANDLE;
  header->dwBytesRecorded = 0;
  header->dwFlags = (header->dwFlags | WHDR_INQUEUE) & ~WHDR_DONE;
  queue_.push_back(header);
  return MMSYSERR_NOERROR;
}

MMRESULT FakeWaveInDriver::Start() { return Log("start"); }

MMRESULT FakeWaveInDriver::Stop() {
  HandBackPartial();
  return Log("stop");
}

int64_t FakeWaveInDriver::Flush() {
  HandBackPartial();
  Log("flush");
  return handedBackBytes_;
}

int64_t FakeWaveInDriver::Mark() {
  marked_ = true;
  Log("mark");
  return ReceivedBytes();
}

void FakeWaveInDriver::Fill() {
  if (marked_) HandBackPartial();
  marked_ = false;
}

int64_t FakeWaveInDriver::ReceivedBytes() const {
  return handedBackBytes_ + (queue_.empty() ? 0 : queue_.front()->dwBytesRecorded);
}

void FakeWaveInDriver::HandBackPartial() {
  if (!queue_.empty() && queue_.front()->dwBytesRecorded > 0) {
    HandBack(queue_.front());
    queue_.pop_front();
  }
}

MMRESULT FakeWaveInDriver::Reset() {
  while (!queue_.empty()) {
    HandBack(queue_.front());
    queue_.pop_front();
  }
  return Log("reset");
}

MMRESULT FakeWaveInDriver::Close() {
  open_ = false;
  queue_.clear();
  return Log("close");
}

void FakeWaveInDriver::HandBack(WAVEHDR* header) {
  handedBackBytes_ += header->dwBytesRecorded;
  header->dwFlags = (header->dwFlags | WHDR_DONE) & ~WHDR_INQUEUE;
  CallbackWindow::PostMessage(window, MM_WIM_DATA, 0, reinterpret_cast<intptr_t>(header));
}

bool FakeWaveInDriver::FillNext(std::span<const int16_t> samples) {
  if (!FillPartly(samples)) return false;
  HandBack(queue_.front());
  queue_.pop_front();
  return true;
}

bool FakeWaveInDriver::FillPartly(std::span<const int16_t> samples) {
  if (queue_.empty()) return false;
  WAVEHDR* header = queue_.front();
  const size_t bytes = std::min<size_t>(samples.size_bytes(), header->dwBufferLength);
  std::memcpy(header->lpData, samples.data(), bytes);
  header->dwBytesRecorded = static_cast<uint32_t>(bytes);
  return true;
}

void FakeWaveInDriver::LoseDevice(const std::string& reason) {
  lostReason_ = reason;
  CallbackWindow::PostMessage(window, WIM_DEVICE_LOST, 0, 0);
}
