#include "tests/support/SlowSync.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace {

int64_t EnvironmentMs(const char* name) {
  const char* text = std::getenv(name);
  return text != nullptr ? std::atoll(text) : 0LL;
}

std::atomic<int64_t>& DelayMs() {
  static std::atomic<int64_t> delay{EnvironmentMs("TAMBLIN_SYNC_DELAY_MS")};
  return delay;
}

std::atomic<int64_t>& NextDelayMs() {
  static std::atomic<int64_t> delay{EnvironmentMs("TAMBLIN_FIRST_SYNC_DELAY_MS")};
  return delay;
}

std::atomic<int64_t> syncs{0};

using SyncCall = int (*)(int);

SyncCall Next(const char* name) { return reinterpret_cast<SyncCall>(dlsym(RTLD_NEXT, name)); }

int SlowCall(SyncCall real, int fd) {
  ++syncs;
  const int64_t next = NextDelayMs().exchange(0);
  if (const int64_t ms = next > 0 ? next : DelayMs().load(); ms > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
  return real(fd);
}

}  // namespace

void SlowSync::Delay(std::chrono::milliseconds delay) { DelayMs() = delay.count(); }

void SlowSync::DelayNext(std::chrono::milliseconds delay) { NextDelayMs() = delay.count(); }

int64_t SlowSync::Count() { return syncs; }

extern "C" int fsync(int fd) {
  static const SyncCall real = Next("fsync");
  return SlowCall(real, fd);
}

extern "C" int fdatasync(int fd) {
  static const SyncCall real = Next("fdatasync");
  return SlowCall(real, fd);
}
