// A blocking call cut short from another thread: a read from a pipe that
// nobody writes ends with EINTR, an interruption before the call skips it,
// and interruptions that race the call's start all end it.
#include "platform/posix_interruptible_call.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

namespace tarnwick {
namespace {

class Pipe {
 public:
  Pipe() { m_ok = ::pipe(m_fds) == 0; }
  ~Pipe() {
    if (m_ok) {
      ::close(m_fds[0]);
      ::close(m_fds[1]);
    }
  }
  bool ok() const { return m_ok; }
  int reader() const { return m_fds[0]; }
  int writer() const { return m_fds[1]; }

 private:
  int m_fds[2] = {-1, -1};
  bool m_ok = false;
};

TEST(InterruptibleCall, InterruptEndsABlockingReadWithEintr) {
  Pipe pipe;
  ASSERT_TRUE(pipe.ok());
  InterruptibleCall call;
  std::atomic<bool> entered{false};
  ssize_t result = 0;
  int error = 0;
  bool completed = true;
  std::thread waiter([&] {
    completed = call.Run([&] {
      entered = true;
      char byte;
      result = ::read(pipe.reader(), &byte, 1);
      error = errno;
    });
  });
  while (!entered) std::this_thread::yield();
  call.Interrupt();  // returns once the read has
  waiter.join();
  EXPECT_FALSE(completed);
  EXPECT_EQ(-1, result);
  EXPECT_EQ(EINTR, error);
}

TEST(InterruptibleCall, InterruptBeforeTheCallSkipsItOnce) {
  InterruptibleCall call;
  int runs = 0;
  call.Interrupt();
  EXPECT_FALSE(call.Run([&] { ++runs; }));
  EXPECT_EQ(0, runs);
  EXPECT_TRUE(call.Run([&] { ++runs; }));
  EXPECT_EQ(1, runs);
}

// The signal may come just before the read begins; it is sent again until
// the read has returned, so every round ends.
TEST(InterruptibleCall, InterruptionsRacingTheStartOfTheCallAllEndIt) {
  Pipe pipe;
  ASSERT_TRUE(pipe.ok());
  InterruptibleCall call;
  int ended = 0;
  for (int round = 0; round < 200; ++round) {
    std::atomic<bool> started{false};
    bool completed = true;
    std::thread waiter([&] {
      started = true;
      completed = call.Run([&] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(pipe.reader(), &byte, 1);
      });
    });
    while (!started) std::this_thread::yield();
    call.Interrupt();
    waiter.join();
    // Skipped or cut short, never a read that went through.
    if (!completed) ++ended;
  }
  EXPECT_EQ(200, ended);
  // Nothing is left over for the next call.
  EXPECT_TRUE(call.Run([] {}));
}

}  // namespace
}  // namespace tarnwick
