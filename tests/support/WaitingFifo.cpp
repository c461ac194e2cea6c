#include "tests/support/WaitingFifo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

WaitingFifo::WaitingFifo(std::filesystem::path path) : path_(std::move(path)) {
  if (::mkfifo(path_.c_str(), 0600) != 0) throw std::runtime_error("mkfifo " + path_.string());
  writer_ = std::thread([this] {
    // Returns once a reader opened the FIFO; closing then gives that reader its end of file.
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd >= 0) ::close(fd);
  });
}

WaitingFifo::~WaitingFifo() {
  // A reader of our own releases a writer still waiting; one already gone leaves it closed at once.
  const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  writer_.join();
  if (fd >= 0) ::close(fd);
}
