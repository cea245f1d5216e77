#include "transmit/send_history.h"

#include <algorithm>
#include <cctype>

namespace tarnwick {
namespace {

bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
  const auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
  return std::search(text.begin(), text.end(), part.begin(), part.end(),
                     [&](char a, char b) { return lower(a) == lower(b); }) != text.end();
}

}  // namespace

void SendHistory::Add(const SendEntry& entry) {
  if (entry.text.empty()) return;
  const SendEntry kept = Normalized(entry);
  const auto same = std::find(m_entries.begin(), m_entries.end(), kept);
  if (same != m_entries.end()) {
    std::rotate(m_entries.begin(), same, same + 1);
    *m_entries.begin() = kept;
    return;
  }
  if (m_entries.size() >= kMaxEntries) m_entries.pop_back();
  m_entries.insert(m_entries.begin(), kept);
}

void SendHistory::Assign(const std::vector<SendEntry>& entries) {
  m_entries.clear();
  for (const SendEntry& entry : entries) {
    if (m_entries.size() >= kMaxEntries) break;
    if (entry.text.empty()) continue;
    const SendEntry kept = Normalized(entry);
    if (std::find(m_entries.begin(), m_entries.end(), kept) == m_entries.end())
      m_entries.push_back(kept);
  }
}

std::vector<std::size_t> SendHistory::Matching(std::string_view filter) const {
  std::vector<std::size_t> positions;
  for (std::size_t i = 0; i < m_entries.size(); ++i) {
    if (ContainsIgnoringCase(m_entries[i].text, filter)) positions.push_back(i);
  }
  return positions;
}

std::optional<SendEntry> HistoryWalk::Older(const SendEntry& field) {
  if (!m_bWalking) {
    m_bWalking = true;
    m_draft = field;
    m_matches.clear();
    for (const std::size_t i : m_history.Matching(field.text))
      m_matches.push_back(m_history.Entries()[i]);
    m_nAt = 0;
  }
  if (m_nAt >= m_matches.size()) return std::nullopt;
  return m_matches[m_nAt++];
}

std::optional<SendEntry> HistoryWalk::Newer() {
  if (!m_bWalking || m_nAt == 0) return std::nullopt;
  --m_nAt;
  if (m_nAt == 0) return m_draft;
  return m_matches[m_nAt - 1];
}

void HistoryWalk::Reset() {
  m_bWalking = false;
  m_matches.clear();
  m_nAt = 0;
}

}  // namespace tarnwick
