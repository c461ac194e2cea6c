// WAVEHDR: the capture buffer header shared by the capture engine and a wave-in
// driver, with the driver's result codes, header flags and message numbers.
// The engine owns each header; a driver holds its address from AddBuffer until
// it posts the buffer back, so a header must not move while prepared.
#pragma once

#include <cstdint>

using MMRESULT = uint32_t;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;         // the server refused or failed
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;   // no such source
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;   // device not open
constexpr MMRESULT MMSYSERR_NODRIVER = 6;      // no audio server reachable
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT WAVERR_BADFORMAT = 32;
constexpr MMRESULT WAVERR_STILLPLAYING = 33;   // header still queued
constexpr MMRESULT WAVERR_UNPREPARED = 34;

constexpr uint32_t WHDR_DONE = 0x01;      // filled and handed back
constexpr uint32_t WHDR_PREPARED = 0x02;
constexpr uint32_t WHDR_INQUEUE = 0x10;   // held by the driver

// Posted to the callback window for every filled buffer; lParam = the header.
constexpr uint32_t MM_WIM_DATA = 0x3C0;
// Posted once when the device or the audio server vanished during a recording;
// no buffer is filled afterwards. wParam and lParam are 0; the driver's
// LostReason() says why.
constexpr uint32_t WIM_DEVICE_LOST = 0x8001;

struct WAVEHDR {
  char* lpData = nullptr;         // the buffer's sample bytes
  uint32_t dwBufferLength = 0;    // bytes
  uint32_t dwBytesRecorded = 0;   // bytes filled, set by the driver
  uintptr_t dwUser = 0;           // the engine's buffer index
  uint32_t dwFlags = 0;           // WHDR_*
  uint32_t dwLoops = 0;
  WAVEHDR* lpNext = nullptr;      // the driver's queue link
  uintptr_t reserved = 0;
};
