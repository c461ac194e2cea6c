// SourceWatcher against a private audio server: sources appearing and
// vanishing, the server dying and a server answering again.
#include "capture/SourceWatcher.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <functional>

#include "tests/support/PipeSourceFeeder.h"
#include "tests/support/PrivatePulseDaemon.h"

namespace {

// Runs the event loop until `done` (a guard of 10 s against hangs).
bool PumpUntil(const std::function<bool()>& done) {
  QDeadlineTimer deadline(10000);
  while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  return done();
}

TEST(SourceWatcherTest, FollowsSourcesAndTheServer) {
  PrivatePulseDaemon daemon;
  ASSERT_TRUE(daemon.Running()) << daemon.Log();
  int changes = 0;
  SourceWatcher watcher;
  watcher.SourcesChanged = [&] { ++changes; };
  ASSERT_TRUE(watcher.Watching());
  QCoreApplication::processEvents();
  EXPECT_EQ(changes, 0) << "nothing changed yet";

  auto feeder = std::make_unique<PipeSourceFeeder>(PipeSourceFeeder::UniqueName("watch"), 44100, 2, "Pipe-Watch");
  ASSERT_TRUE(feeder->Loaded());
  EXPECT_TRUE(PumpUntil([&] { return changes > 0; })) << "new source not noticed";
  const int afterAdd = changes;
  feeder.reset();
  EXPECT_TRUE(PumpUntil([&] { return changes > afterAdd; })) << "removed source not noticed";

  const int beforeLoss = changes;
  daemon.Stop();
  EXPECT_TRUE(PumpUntil([&] { return changes > beforeLoss; })) << "server loss not noticed";
  EXPECT_FALSE(watcher.Watching());

  // A server answering again (here a new one, found through PULSE_SERVER as
  // any client finds it) is picked up by the retry and announced.
  const int beforeReturn = changes;
  PrivatePulseDaemon restarted;
  ASSERT_TRUE(restarted.Running()) << restarted.Log();
  EXPECT_TRUE(PumpUntil([&] { return watcher.Watching() && changes > beforeReturn; })) << "server return not noticed";
  PipeSourceFeeder late(PipeSourceFeeder::UniqueName("watch_late"), 44100, 2, "Pipe-Late");
  ASSERT_TRUE(late.Loaded());
  const int beforeLate = changes;
  EXPECT_TRUE(PumpUntil([&] { return changes > beforeLate; })) << "sources of the new server not followed";
}

TEST(SourceWatcherTest, NoServerMeansNoNotificationUntilOneAnswers) {
  PrivatePulseDaemon daemon;
  ASSERT_TRUE(daemon.Running()) << daemon.Log();
  daemon.Stop();
  int changes = 0;
  SourceWatcher watcher;
  watcher.SourcesChanged = [&] { ++changes; };
  EXPECT_FALSE(watcher.Watching());
  QCoreApplication::processEvents();
  EXPECT_EQ(changes, 0);

  // A first connection that failed (a busy machine, a server not up yet) is
  // retried; the sources the list was read without are announced once it holds.
  PrivatePulseDaemon late;
  ASSERT_TRUE(late.Running()) << late.Log();
  EXPECT_TRUE(PumpUntil([&] { return watcher.Watching() && changes > 0; })) << "the first subscription told nothing";
}

}  // namespace
