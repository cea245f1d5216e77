// How much of a transmit block may wait in the driver's output queue. The
// worker hands the driver one byte per turn; left alone, a non-blocking write
// counts a byte as sent once the kernel has queued it, so a line held by
// flow control would still count kilobytes as written and an abort would
// leave them queued. Keeping about 10 ms of line time (at least one
// character) queued makes the Write counter, the progress and an abort follow
// the bytes that have left, while the line never runs dry.
#pragma once

#include <cstddef>
#include <cstdint>

#include "port/dcb.h"
#include "port/serial_device.h"

namespace tarnwick {

class OutputPacing {
 public:
  static constexpr int kQueueWindowMs = 10;
  // The longest wait before the queue is looked at again: one character at
  // the slowest rate the settings offer (110 baud) takes about this long.
  static constexpr int kMaxRecheckMs = 100;

  OutputPacing() { SetLine(9600, 20); }  // 9600 8N1 until a line is set

  // The line as configured: rate and frame (start, data, parity, stop bits).
  // Forgets what it knew about the queue (a new device).
  void SetLine(const DCB& dcb);
  // rate in baud, halfBits the length of one character in half bits.
  void SetLine(std::uint32_t rate, std::uint32_t halfBits);

  // True when one more character may go to the driver. Asks the device only
  // once the characters written since its last answer may have filled the
  // queue, so a flowing line costs one question per QueueLimit() bytes.
  bool Room(SerialDevice& device);
  // A character went to the driver.
  void Written();
  // After Room() said yes: how many characters may go now (at least one).
  std::size_t Allowance() const { return m_nRoom; }
  // count characters went to the driver at once.
  void Written(std::size_t count) { m_nRoom = count < m_nRoom ? m_nRoom - count : 0; }

  // After Room() said no: milliseconds until enough has left for one more
  // character, rounded up, at least 1 and at most kMaxRecheckMs. When the
  // queue did not shrink since the previous look (flow control holds the
  // line) at least one window, so a held line costs no more than a hundred
  // looks a second.
  int RecheckMs() const;

  // Characters allowed in the queue: one window of line time, at least one.
  std::size_t QueueLimit() const { return m_nLimit; }
  std::uint64_t CharNanoseconds() const { return m_nCharNs; }

 private:
  std::uint64_t m_nCharNs = 0;
  std::size_t m_nLimit = 1;
  std::size_t m_nRoom = 0;    // characters that may still go before asking again
  std::size_t m_nQueued = 0;  // the device's last answer when it was full
  bool m_bStalled = false;    // the queue did not shrink between two full answers
  bool m_bWasFull = false;
};

// One character of the line in half bits: start bit, data bits, parity bit
// when there is one, and 1, 1.5 or 2 stop bits.
std::uint32_t CharacterHalfBits(const DCB& dcb);

}  // namespace tarnwick
