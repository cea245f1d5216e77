#include "transmit/send_queue.h"

#include <array>

namespace tarnwick {

std::string PushResult::Refusal() const {
  switch (status) {
    case PushStatus::kQueued:
      return {};
    case PushStatus::kEmpty:
      return "No data to send !";
    case PushStatus::kFull:
      return "Not sent: the device has not yet taken what was sent before";
    case PushStatus::kTooLarge:
      return "Not sent: the block is larger than the send queue";
    case PushStatus::kDisconnected:
      return "Not sent: the port is disconnected (Main > Connect opens it again)";
  }
  return {};
}

SendQueue::SendQueue(std::size_t maxBlocks, std::size_t maxBytes)
    : m_nMaxBlocks(maxBlocks), m_nMaxBytes(maxBytes) {}

PushResult SendQueue::Push(SendOrigin origin, std::vector<std::uint8_t> bytes) {
  PushResult result;
  if (bytes.empty()) {
    result.status = PushStatus::kEmpty;
    return result;
  }
  if (bytes.size() > m_nMaxBytes) {
    result.status = PushStatus::kTooLarge;
    return result;
  }
  {
    std::lock_guard<std::mutex> lock(m_cs);
    const std::size_t blocks = m_nBlocks.load(std::memory_order_relaxed);
    if (blocks >= m_nMaxBlocks || bytes.size() > m_nMaxBytes - m_nBytes) {
      result.status = PushStatus::kFull;
      return result;
    }
    result.id = m_nNextId++;
    m_nBytes += bytes.size();
    m_waiting.push_back(Block{result.id, origin, std::move(bytes), 0});
    m_nBlocks.store(blocks + 1, std::memory_order_release);
  }
  if (m_wake) m_wake();
  return result;
}

bool SendQueue::Matches(const Block& block, SendSource source, std::uint64_t owner) const {
  return block.origin.source == source && block.origin.owner == owner;
}

std::size_t SendQueue::Drop(bool all, SendSource source, std::uint64_t owner) {
  std::size_t removed = 0;
  bool cut = false;
  {
    std::lock_guard<std::mutex> lock(m_cs);
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
      if (all || Matches(*it, source, owner)) {
        m_nBytes -= it->bytes.size();
        it = m_waiting.erase(it);
        ++removed;
      } else {
        ++it;
      }
    }
    // The worker may be writing from it: it ends the block at its next look
    // and counts it out then.
    if (m_pUnderWay && !m_bCut && (all || Matches(*m_pUnderWay, source, owner))) {
      m_bCut = true;
      cut = true;
    }
    m_nBlocks.fetch_sub(removed, std::memory_order_release);
  }
  if (cut && m_wake) m_wake();
  return removed + (cut ? 1 : 0);
}

std::size_t SendQueue::Withdraw(SendSource source, std::uint64_t owner) {
  return Drop(false, source, owner);
}

std::size_t SendQueue::Clear() { return Drop(true, SendSource::kSendLine, 0); }

BlockDone SendQueue::Release(bool cut) {
  BlockDone done{m_pUnderWay->id, m_pUnderWay->origin, m_pUnderWay->written,
                 m_pUnderWay->bytes.size(), cut};
  m_nBytes -= m_pUnderWay->bytes.size();
  m_pUnderWay.reset();
  m_bCut = false;
  m_nBlocks.fetch_sub(1, std::memory_order_release);
  return done;
}

SendQueue::Piece SendQueue::Current() {
  std::unique_lock<std::mutex> lock(m_cs);
  if (m_pUnderWay && m_bCut) {
    const BlockDone done = Release(true);
    lock.unlock();
    if (m_done) m_done(done);
    lock.lock();
  }
  if (!m_pUnderWay) {
    if (m_waiting.empty()) return {};
    m_pUnderWay = std::make_unique<Block>(std::move(m_waiting.front()));
    m_waiting.pop_front();
  }
  return {m_pUnderWay->bytes.data() + m_pUnderWay->written,
          m_pUnderWay->bytes.size() - m_pUnderWay->written, m_pUnderWay->origin};
}

bool SendQueue::Advance(std::size_t written) {
  std::unique_lock<std::mutex> lock(m_cs);
  if (!m_pUnderWay) return false;
  const std::size_t left = m_pUnderWay->bytes.size() - m_pUnderWay->written;
  m_pUnderWay->written += written < left ? written : left;
  const bool whole = m_pUnderWay->written == m_pUnderWay->bytes.size();
  if (!whole && !m_bCut) return false;
  const BlockDone done = Release(!whole);
  lock.unlock();
  if (m_done) m_done(done);
  return true;
}

Writer WriterTurns::Next(bool dialogPending, bool tapPending, bool queuePending) {
  const std::array<bool, 4> pending = {false, dialogPending, tapPending, queuePending};
  if (m_holder != Writer::kNone) {
    if (pending[static_cast<std::size_t>(m_holder)]) return m_holder;
    Ended(m_holder);  // its block went without a word: an abort
  }
  // The round: dialog, tap, queue, starting after the last holder.
  auto index = static_cast<std::size_t>(m_last);
  for (int i = 0; i < 3; ++i) {
    index = index % 3 + 1;
    if (pending[index]) {
      m_holder = static_cast<Writer>(index);
      return m_holder;
    }
  }
  return Writer::kNone;
}

void WriterTurns::Ended(Writer writer) {
  if (writer != m_holder || writer == Writer::kNone) return;
  m_last = writer;
  m_holder = Writer::kNone;
}

}  // namespace tarnwick
