#include "transmit/sequence_feed.h"

namespace tarnwick {

void SequenceFeed::Listen(bool on) {
  std::lock_guard<std::mutex> lock(m_cs);
  if (on && !m_bListening.load()) {
    std::erase_if(m_events,
                  [](const FeedEvent& e) { return e.kind == FeedEvent::Kind::kReceived; });
    m_nHeldBytes = 0;
  }
  m_bListening.store(on);
}

void SequenceFeed::OnBlockDone(const BlockDone& done) {
  FeedEvent event;
  event.kind = FeedEvent::Kind::kBlockDone;
  event.done = done;
  event.at = std::chrono::steady_clock::now();
  Put(std::move(event));
}

void SequenceFeed::OnReceived(const std::uint8_t* data, std::size_t length) {
  if (!m_bListening.load(std::memory_order_relaxed) || length == 0) return;
  bool wasEmpty;
  {
    std::lock_guard<std::mutex> lock(m_cs);
    if (!m_bListening.load()) return;
    wasEmpty = m_events.empty();
    // Reads in a row join: the taker looks at them once.
    if (wasEmpty || m_events.back().kind != FeedEvent::Kind::kReceived)
      m_events.push_back(FeedEvent{});
    m_events.back().at = std::chrono::steady_clock::now();
    std::string& bytes = m_events.back().bytes;
    bytes.append(reinterpret_cast<const char*>(data), length);
    m_nHeldBytes += length;
    if (m_nHeldBytes > kMaxHeldBytes && bytes.size() > kMaxHeldBytes / 2) {
      const std::size_t drop = bytes.size() - kMaxHeldBytes / 2;
      bytes.erase(0, drop);
      m_nHeldBytes -= drop;
    }
  }
  if (wasEmpty && m_notify) m_notify();
}

void SequenceFeed::Put(FeedEvent event) {
  bool wasEmpty;
  {
    std::lock_guard<std::mutex> lock(m_cs);
    wasEmpty = m_events.empty();
    m_events.push_back(std::move(event));
  }
  if (wasEmpty && m_notify) m_notify();
}

std::vector<FeedEvent> SequenceFeed::Take() {
  std::lock_guard<std::mutex> lock(m_cs);
  std::vector<FeedEvent> events;
  events.swap(m_events);
  m_nHeldBytes = 0;
  return events;
}

}  // namespace tarnwick
