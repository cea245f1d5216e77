#include "settings/live_settings.h"

namespace tarnwick {
namespace {

// What a reader without options of its own sees: every option off.
const DisplayOptions kNoOptions{};

}  // namespace

LiveSettings::LiveSettings(const SETTINGS& record) : LiveSettings(record, kNoOptions) {}

LiveSettings::LiveSettings(const SETTINGS& record, const DisplayOptions& options)
    : m_record(record), m_options(options), m_published(record), m_publishedOptions(options) {
  m_nVersion.store(1, std::memory_order_release);
}

void LiveSettings::Publish() {
  std::lock_guard lock(m_csPublished);
  m_published = m_record;
  m_publishedOptions = m_options;
  m_nVersion.fetch_add(1, std::memory_order_release);
}

bool LiveSettings::Refresh(SETTINGS& copy, std::uint64_t& version) const {
  if (m_nVersion.load(std::memory_order_acquire) == version) return false;
  std::lock_guard lock(m_csPublished);
  copy = m_published;
  version = m_nVersion.load(std::memory_order_relaxed);
  return true;
}

bool LiveSettings::Refresh(SETTINGS& copy, DisplayOptions& options, std::uint64_t& version) const {
  if (m_nVersion.load(std::memory_order_acquire) == version) return false;
  std::lock_guard lock(m_csPublished);
  copy = m_published;
  options = m_publishedOptions;
  version = m_nVersion.load(std::memory_order_relaxed);
  return true;
}

DisplayOptions LiveSettings::CurrentOptions() const {
  std::lock_guard lock(m_csPublished);
  return m_publishedOptions;
}

SETTINGS LiveSettings::Current() const {
  std::lock_guard lock(m_csPublished);
  return m_published;
}

}  // namespace tarnwick
