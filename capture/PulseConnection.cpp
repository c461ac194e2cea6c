// PulseConnection: threaded main loop, context set-up and bounded waits.
#include "capture/PulseConnection.h"

#include <atomic>

namespace {

std::atomic<int64_t> timedOutWaits{0};  // all connections of the process

}  // namespace

PulseConnection::PulseConnection(std::string clientName, std::chrono::milliseconds timeout)
    : clientName_(std::move(clientName)), timeout_(timeout), mainloop_(pa_threaded_mainloop_new()) {}

PulseConnection::~PulseConnection() {
  if (mainloop_ == nullptr) return;
  {
    Lock lock(*this);
    Disconnect();
  }
  if (started_) pa_threaded_mainloop_stop(mainloop_);
  pa_threaded_mainloop_free(mainloop_);
}

PulseConnection::Lock::Lock(PulseConnection& connection) : mainloop_(connection.mainloop_) {
  if (mainloop_ != nullptr) pa_threaded_mainloop_lock(mainloop_);
}

PulseConnection::Lock::~Lock() {
  if (mainloop_ != nullptr) pa_threaded_mainloop_unlock(mainloop_);
}

void PulseConnection::Disconnect() {
  if (context_ == nullptr) return;
  pa_context_set_state_callback(context_, nullptr, nullptr);
  pa_context_disconnect(context_);
  pa_context_unref(context_);
  context_ = nullptr;
}

int64_t PulseConnection::TimedOutWaits() { return timedOutWaits; }

bool PulseConnection::RecentlyHung() const {
  return hung_ && std::chrono::steady_clock::now() - hungAt_ < timeout_;
}

void PulseConnection::NoteTimeout() {
  hung_ = true;
  hungAt_ = std::chrono::steady_clock::now();
  ++timedOutWaits;
}

bool PulseConnection::EnsureConnected() {
  if (mainloop_ == nullptr) return false;
  const bool ready = context_ != nullptr && pa_context_get_state(context_) == PA_CONTEXT_READY;
  if (ready && !hung_) return true;
  // The server has just let a wait run out: another attempt would only wait again.
  if (RecentlyHung()) return false;
  Disconnect();
  hung_ = false;
  if (!started_) {
    if (pa_threaded_mainloop_start(mainloop_) < 0) return false;
    started_ = true;
  }
  context_ = pa_context_new(pa_threaded_mainloop_get_api(mainloop_), clientName_.c_str());
  if (context_ == nullptr) return false;
  pa_context_set_state_callback(
      context_, [](pa_context*, void* self) { static_cast<PulseConnection*>(self)->Signal(); },
      this);
  // No autospawn: where no server runs we report "no devices" instead of
  // starting one behind the user's back.
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    Disconnect();
    return false;
  }
  // A local server answers the handshake at once; half the timeout keeps a
  // start-up against a hung one short.
  const bool settled = WaitUntil(
      [this] {
        const pa_context_state_t state = pa_context_get_state(context_);
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
      },
      timeout_ / 2);
  if (!settled || pa_context_get_state(context_) != PA_CONTEXT_READY) {
    Disconnect();
    return false;
  }
  return true;
}

std::string PulseConnection::LastError() const {
  if (hung_) return pa_strerror(PA_ERR_TIMEOUT);
  if (context_ == nullptr) return pa_strerror(PA_ERR_CONNECTIONREFUSED);
  return pa_strerror(pa_context_errno(context_));
}

bool PulseConnection::WaitUntil(const std::function<bool()>& done) { return WaitUntil(done, timeout_); }

bool PulseConnection::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  if (done()) return true;
  if (hung_) return false;
  // A timer on the main loop wakes us at the deadline even when the server
  // never answers.
  pa_mainloop_api* api = pa_threaded_mainloop_get_api(mainloop_);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  timeval when{};
  pa_timeval_add(pa_gettimeofday(&when),
                 static_cast<pa_usec_t>(
                     std::chrono::duration_cast<std::chrono::microseconds>(timeout).count()));
  pa_time_event* timer = api->time_new(
      api, &when,
      [](pa_mainloop_api*, pa_time_event*, const timeval*, void* self) {
        static_cast<PulseConnection*>(self)->Signal();
      },
      this);
  bool finished = false;
  while (!(finished = done()) && std::chrono::steady_clock::now() < deadline) {
    pa_threaded_mainloop_wait(mainloop_);
  }
  api->time_free(timer);
  if (!finished) NoteTimeout();
  return finished;
}

bool PulseConnection::WaitStreamReady(pa_stream* stream) {
  return WaitUntil([stream] {
           const pa_stream_state_t state = pa_stream_get_state(stream);
           return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
         }) &&
         pa_stream_get_state(stream) == PA_STREAM_READY;
}

bool PulseConnection::WaitOperation(pa_operation* operation) {
  if (operation == nullptr) return false;
  pa_operation_set_state_callback(
      operation, [](pa_operation*, void* self) { static_cast<PulseConnection*>(self)->Signal(); },
      this);
  const bool completed =
      WaitUntil([operation] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; });
  if (!completed) pa_operation_cancel(operation);
  const bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
  pa_operation_unref(operation);
  return done;
}
