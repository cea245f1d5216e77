// What the send line sent, most recent first: the last 500 distinct entries
// with their formats. Up and Down walk it; the text typed before walking
// picks the entries walked.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "transmit/send_entry.h"

namespace tarnwick {

class SendHistory {
 public:
  static constexpr std::size_t kMaxEntries = 500;

  // entry becomes the most recent; an equal one further back moves to the
  // front instead of staying twice. An empty text is not kept.
  void Add(const SendEntry& entry);
  // Entries as a file had them, most recent first: duplicates after the
  // first and entries past the limit are left out.
  void Assign(const std::vector<SendEntry>& entries);
  void Clear() { m_entries.clear(); }

  const std::vector<SendEntry>& Entries() const { return m_entries; }
  // Positions of the entries whose text contains filter, letters in either
  // case, most recent first; all of them for an empty filter.
  std::vector<std::size_t> Matching(std::string_view filter) const;

 private:
  std::vector<SendEntry> m_entries;
};

// One walk through the history with Up and Down. The first Up keeps what was
// in the field as the draft and walks the entries that contain the draft's
// text; Down past the newest gives the draft back. Any edit or send ends
// the walk (Reset), as does a change of the history.
class HistoryWalk {
 public:
  explicit HistoryWalk(const SendHistory& history) : m_history(history) {}

  // The next older entry, or nothing at the oldest (the field stays).
  std::optional<SendEntry> Older(const SendEntry& field);
  // The next newer entry, the draft after the newest, nothing when not walking.
  std::optional<SendEntry> Newer();
  void Reset();
  bool Walking() const { return m_bWalking; }

 private:
  const SendHistory& m_history;
  bool m_bWalking = false;
  SendEntry m_draft;
  // Copies: the history may be cleared while the field shows one of them.
  std::vector<SendEntry> m_matches;
  std::size_t m_nAt = 0;  // 0: the draft; n: m_matches[n - 1]
};

}  // namespace tarnwick
