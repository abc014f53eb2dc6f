#include "parallel/worker_pool.h"

#include <gtest/gtest.h>

#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

TEST(WorkerPool, EveryIndexRunsExactlyOnceWhateverTheWorkers) {
  for (unsigned workers : {0u, 1u, 3u, 64u}) {
    for (size_t count : {size_t{0}, size_t{1}, size_t{2}, size_t{1000}}) {
      std::vector<std::atomic<int>> runs(count);
      run_in_parallel(count, workers, [&](size_t i) { runs[i].fetch_add(1); });
      for (size_t i = 0; i < count; ++i) EXPECT_EQ(runs[i].load(), 1) << workers << " " << count;
    }
  }
  for (unsigned workers : {1u, 4u}) {
    std::vector<std::atomic<int>> bodies(workers);
    run_on_workers(workers, [&](unsigned id) { bodies[id].fetch_add(1); });
    for (unsigned id = 0; id < workers; ++id) EXPECT_EQ(bodies[id].load(), 1) << id;
  }
  EXPECT_GE(resolve_workers(0), 1u);
  EXPECT_EQ(resolve_workers(5), 5u);
}

// Threads are kept between calls, and a body that spreads work itself is
// given threads of its own rather than waiting for the ones busy with it.
TEST(WorkerPool, HelpersAreKeptAndABodyMayCallAgain) {
  thread_local int bodies_here = 0;
  std::atomic<int> most{0};
  for (int round = 0; round < 20; ++round) {
    run_on_workers(3, [&](unsigned id) {
      if (id == 0) return;
      const int seen = ++bodies_here;
      int now = most.load();
      while (seen > now && !most.compare_exchange_weak(now, seen)) {
      }
    });
  }
  EXPECT_GE(most.load(), 2) << "every call made its threads afresh";

  std::vector<std::atomic<int>> runs(3 * 200);
  run_on_workers(3, [&](unsigned id) {
    run_in_parallel(200, 3, [&](size_t i) { runs[id * 200 + i].fetch_add(1); });
  });
  for (size_t i = 0; i < runs.size(); ++i) EXPECT_EQ(runs[i].load(), 1) << i;
}

// The helpers use the caller's body: they are done with it before an
// exception from worker 0 leaves the call.
TEST(WorkerPool, AnExceptionOfWorkerZeroWaitsForTheHelpers) {
  std::atomic<bool> throwing{false};
  std::atomic<bool> helper_done{false};
  EXPECT_THROW(run_on_workers(2,
                              [&](unsigned id) {
                                if (id == 0) {
                                  throwing = true;
                                  throw std::runtime_error("worker 0");
                                }
                                while (!throwing) std::this_thread::yield();
                                for (int i = 0; i < 1000; ++i) std::this_thread::yield();
                                helper_done = true;
                              }),
               std::runtime_error);
  EXPECT_TRUE(helper_done.load());
}

// The read-ahead's way: the caller goes on while the task runs, and the
// wait gives back what the task threw.
TEST(WorkerPool, ABackgroundTaskIsWaitedForWithWhatItThrew) {
  std::atomic<bool> go{false};
  int result = 0;
  BackgroundTask task = start_in_background([&] {
    while (!go) std::this_thread::yield();
    result = 42;
  });
  go = true;  // the task only ends once the caller has gone on
  wait_for_task(task);
  EXPECT_EQ(result, 42);
  EXPECT_FALSE(task.state);
  wait_for_task(task);  // no task: nothing to wait for

  BackgroundTask failing = start_in_background([] { throw std::runtime_error("fetch"); });
  EXPECT_THROW(wait_for_task(failing), std::runtime_error);
}

// A signal sent to the process is not taken by an idle helper, which would
// leave the thread that waits for it (a key, a write) untold.
TEST(WorkerPool, HelpersLeaveTheProcessSignalsToTheOtherThreads) {
  std::atomic<bool> blocked{false};
  run_on_workers(2, [&](unsigned id) {
    if (id == 0) return;
    sigset_t now;
    ::pthread_sigmask(SIG_BLOCK, nullptr, &now);
    blocked = ::sigismember(&now, SIGINT) == 1 && ::sigismember(&now, SIGWINCH) == 1 &&
              ::sigismember(&now, SIGSEGV) == 0;
  });
  EXPECT_TRUE(blocked.load());
  sigset_t mine;
  ::pthread_sigmask(SIG_BLOCK, nullptr, &mine);
  EXPECT_EQ(::sigismember(&mine, SIGINT), 0) << "the caller's own mask changed";
}

// A child of fork has one thread: work it spreads is done, not handed to
// helpers that stayed with the parent.
TEST(WorkerPool, AForkedChildSpreadsWorkOfItsOwn) {
  run_in_parallel(8, 4, [](size_t) {});  // the parent's helpers exist
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::atomic<int> done{0};
    run_in_parallel(100, 4, [&](size_t) { done.fetch_add(1); });
    ::_exit(done.load() == 100 ? 0 : 1);
  }
  int status = 0;
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  pid_t ended = 0;
  while ((ended = ::waitpid(child, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < give_up)
    std::this_thread::yield();
  if (ended == 0) {
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    FAIL() << "the child waits for helpers it does not have";
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
