// A port worker on the scripted fake device, with a thread-safe record of the
// repaint requests it makes.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "port/port_worker.h"
#include "settings/settings.h"
#include "worker/fake_serial.h"

namespace tarnwick::testing {

// Polls pred every millisecond until it holds or limit passed.
inline bool Eventually(const std::function<bool()>& pred,
                       std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Polls count every millisecond until it reaches target; false once it has
// not moved for stall (a stream that should flow has stopped), however long
// the whole takes.
inline bool EventuallyWhileMoving(const std::function<std::int64_t()>& count, std::int64_t target,
                                  std::chrono::milliseconds stall = std::chrono::seconds(3)) {
  std::int64_t last = count();
  auto deadline = std::chrono::steady_clock::now() + stall;
  for (std::int64_t now = last; now < target; now = count()) {
    if (now != last) {
      last = now;
      deadline = std::chrono::steady_clock::now() + stall;
    }
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

class CountingSink : public RepaintSink {
 public:
  void InvalidateAll() override {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nAll;
  }
  void InvalidateRect(const Rect& rect) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rects.push_back(rect);
  }
  void InvalidateCounters() override {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_nCounters;
  }
  int AllCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nAll;
  }
  int CountersCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nCounters;
  }
  std::vector<Rect> Rects() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rects;
  }

 private:
  mutable std::mutex m_mutex;
  int m_nAll = 0;
  int m_nCounters = 0;
  std::vector<Rect> m_rects;
};

struct WorkerRig {
  explicit WorkerRig(int timeDivisor = 50, ScreenModel* view = nullptr)
      : serial(timeDivisor), worker(live, serial, view, &sink) {}
  ~WorkerRig() { worker.Stop(); }

  // Stop() on another thread: false when it has not returned within 5 s.
  bool StopReturns() {
    auto done = std::async(std::launch::async, [this] { worker.Stop(); });
    return done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  }

  // Changes to settings reach the worker once published.
  SETTINGS settings = DefaultSettings();
  LiveSettings live{settings};
  FakeSerial serial;
  CountingSink sink;
  PortWorker worker;
};

}  // namespace tarnwick::testing
