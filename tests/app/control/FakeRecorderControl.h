// FakeRecorderControl: a recorder whose refusals the test scripts; it lists the
// requests and changes state only when the test says so.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/recording/RecorderControl.h"

class FakeRecorderControl : public RecorderControl {
 public:
  Result Start(const RecordingRequest& request) override {
    starts.push_back(request);
    preRecords.push_back(request.preRecordSeconds);
    return Answer("Start");
  }
  Result Stop() override { return Answer("Stop"); }
  Result Pause() override { return Answer("Pause"); }
  Result Mark(const std::string& name) override {
    marks.push_back(name);
    return Answer("Mark");
  }
  Result Resume() override { return Answer("Resume"); }
  Result Toggle() override { return Answer("Toggle"); }
  Status CurrentStatus() const override { return status; }
  void OnStateChanged(StateListener listener) override { listeners.push_back(std::move(listener)); }

  void Enter(RecorderState state) {
    status.state = state;
    for (const StateListener& listener : listeners) listener(state);
  }

  Status status;
  std::map<std::string, std::string> refusals;  // request -> reason
  std::vector<std::string> requests;
  std::vector<std::string> marks;  // the names Mark was given
  std::vector<RecordingRequest> starts;  // what Start was given
  std::vector<std::optional<double>> preRecords;  // each start's pre-record seconds
  std::vector<StateListener> listeners;

 private:
  Result Answer(const std::string& request) {
    requests.push_back(request);
    const auto refusal = refusals.find(request);
    return refusal == refusals.end() ? Result{true, {}} : Result{false, refusal->second};
  }
};
