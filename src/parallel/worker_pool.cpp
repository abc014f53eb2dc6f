#include "parallel/worker_pool.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

unsigned resolve_workers(unsigned workers) {
  if (workers != 0) return workers;
  return std::max(1u, std::thread::hardware_concurrency());
}

namespace {

// Threads are kept between calls: a run calls here once per block of
// units, and a thread made afresh each time costs its creation and a fault
// for every page of stack it touches again. A helper is made when a call
// finds none idle (so calls made from inside a body never wait for one
// another) and then waits for the next call for the rest of the process.

struct Call {
  std::mutex m;
  std::condition_variable done;
  unsigned left = 0;  // helpers still running the body
};

struct Helper {
  std::mutex m;
  std::condition_variable wake;
  const std::function<void(unsigned)>* body = nullptr;  // the task, while there is one
  unsigned id = 0;
  Call* call = nullptr;
};

struct Helpers {
  std::mutex m;
  std::vector<Helper*> idle;
};

Helpers* g_helpers = nullptr;

// A child of fork has none of its parent's helpers (and perhaps a lock
// some other thread held): it starts a list of its own.
void forget_helpers_in_child() { g_helpers = new Helpers; }

// Never destroyed: helpers wait on it until the process ends.
Helpers& helpers() {
  static const bool made = [] {
    g_helpers = new Helpers;
    ::pthread_atfork(nullptr, nullptr, forget_helpers_in_child);
    return true;
  }();
  (void)made;
  return *g_helpers;
}

void serve(Helper* h) {
  for (;;) {
    std::unique_lock<std::mutex> lock(h->m);
    h->wake.wait(lock, [h] { return h->body != nullptr; });
    const std::function<void(unsigned)>* body = h->body;
    const unsigned id = h->id;
    Call* call = h->call;
    lock.unlock();
    (*body)(id);
    lock.lock();
    h->body = nullptr;
    h->call = nullptr;
    lock.unlock();
    {
      const std::lock_guard<std::mutex> idle(helpers().m);
      helpers().idle.push_back(h);
    }
    // Last: once told, the caller's Call is gone.
    const std::lock_guard<std::mutex> told(call->m);
    if (--call->left == 0) call->done.notify_one();
  }
}

// An idle helper, or a new one; null when no thread can be started.
Helper* take_helper() {
  {
    const std::lock_guard<std::mutex> lock(helpers().m);
    if (!helpers().idle.empty()) {
      Helper* h = helpers().idle.back();
      helpers().idle.pop_back();
      return h;
    }
  }
  Helper* h = new Helper;
  // Signals sent to the process (an interrupt, a window resized) go to the
  // threads that did not start as helpers: a helper lives on between calls,
  // and the one that waits for keys or writes the rows must be told. A
  // helper starts with them blocked; the faults of its own work stay open.
  sigset_t blocked, before;
  ::sigfillset(&blocked);
  for (const int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT, SIGSYS})
    ::sigdelset(&blocked, fault);
  ::pthread_sigmask(SIG_BLOCK, &blocked, &before);
  bool started = true;
  try {
    std::thread(serve, h).detach();
  } catch (const std::system_error&) {
    started = false;
  }
  ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
  if (!started) {
    delete h;
    return nullptr;
  }
  return h;
}

void wait_for(Call& call) {
  std::unique_lock<std::mutex> lock(call.m);
  call.done.wait(lock, [&call] { return call.left == 0; });
}

void hand_to(Helper* h, const std::function<void(unsigned)>* body, unsigned id, Call* call) {
  {
    const std::lock_guard<std::mutex> lock(call->m);
    ++call->left;
  }
  const std::lock_guard<std::mutex> lock(h->m);
  h->body = body;
  h->id = id;
  h->call = call;
  h->wake.notify_one();
}

}  // namespace

struct BackgroundState {
  Call call;
  std::function<void(unsigned)> body;
  std::exception_ptr thrown;
};

BackgroundTask start_in_background(std::function<void()> task) {
  BackgroundTask started{std::make_shared<BackgroundState>()};
  BackgroundState* state = started.state.get();
  state->body = [state, task = std::move(task)](unsigned) {
    try {
      task();
    } catch (...) {
      state->thrown = std::current_exception();
    }
  };
  Helper* h = take_helper();
  if (h == nullptr) {
    state->body(0);  // no thread: done before the caller goes on
  } else {
    hand_to(h, &state->body, 0, &state->call);
  }
  return started;
}

void wait_for_task(BackgroundTask& task) {
  if (!task.state) return;
  wait_for(task.state->call);
  const std::exception_ptr thrown = task.state->thrown;
  task.state.reset();
  if (thrown) std::rethrow_exception(thrown);
}

void run_on_workers(unsigned workers, const std::function<void(unsigned worker)>& body) {
  Call call;
  for (unsigned id = 1; id < workers; ++id) {
    Helper* h = take_helper();
    if (h == nullptr) break;
    hand_to(h, &body, id, &call);
  }
  // The helpers hold body and call: they are waited for however body(0) ends.
  try {
    body(0);
  } catch (...) {
    wait_for(call);
    throw;
  }
  wait_for(call);
}

void run_in_parallel(size_t count, unsigned workers, const std::function<void(size_t)>& work) {
  const size_t threads = std::min<size_t>(resolve_workers(workers), std::max<size_t>(count, 1));
  std::atomic<size_t> next{0};
  run_on_workers(static_cast<unsigned>(threads), [&](unsigned) {
    for (;;) {
      const size_t i = next.fetch_add(1, std::memory_order_relaxed);
      if (i >= count) break;
      work(i);
    }
  });
}
