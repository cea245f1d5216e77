#include "settings/live_settings.h"

namespace tarnwick {

LiveSettings::LiveSettings(const SETTINGS& record) : m_record(record), m_published(record) {
  m_nVersion.store(1, std::memory_order_release);
}

void LiveSettings::Publish() {
  std::lock_guard lock(m_csPublished);
  m_published = m_record;
  m_nVersion.fetch_add(1, std::memory_order_release);
}

bool LiveSettings::Refresh(SETTINGS& copy, std::uint64_t& version) const {
  if (m_nVersion.load(std::memory_order_acquire) == version) return false;
  std::lock_guard lock(m_csPublished);
  copy = m_published;
  version = m_nVersion.load(std::memory_order_relaxed);
  return true;
}

SETTINGS LiveSettings::Current() const {
  std::lock_guard lock(m_csPublished);
  return m_published;
}

}  // namespace tarnwick
