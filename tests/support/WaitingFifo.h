// WaitingFifo: a FIFO with a writer waiting for a reader, in place of a take.
// Code that opens it for reading without O_NONBLOCK would block for ever
// without the writer; with it, that code reads an empty input and the test
// fails on what it got instead of hanging. The destructor lets the writer go.
#pragma once

#include <filesystem>
#include <thread>

class WaitingFifo {
 public:
  explicit WaitingFifo(std::filesystem::path path);
  ~WaitingFifo();
  WaitingFifo(const WaitingFifo&) = delete;
  WaitingFifo& operator=(const WaitingFifo&) = delete;

 private:
  std::filesystem::path path_;
  std::thread writer_;
};
