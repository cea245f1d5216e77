// How the settings record reaches the port worker and the screen model while
// the dialogs edit it. The record itself belongs to the user-interface thread:
// dialogs and commands write it there and nothing else touches it. Publish()
// hands a copy to the other threads; a reader keeps its own copy and takes the
// new one only when something was published since it last looked, which costs
// one atomic load per received batch and never a lock per byte.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "settings/display_options.h"
#include "settings/settings.h"

namespace tarnwick {

class LiveSettings {
 public:
  // record: the user-interface thread's record; published once at once.
  explicit LiveSettings(const SETTINGS& record);
  // With the display options published beside the record, under the same version.
  LiveSettings(const SETTINGS& record, const DisplayOptions& options);
  LiveSettings(const LiveSettings&) = delete;
  LiveSettings& operator=(const LiveSettings&) = delete;

  // User-interface thread: makes the record as it stands now the one that
  // readers see. A reader never sees a half-copied record.
  void Publish();

  // Any thread. Copies the published record into copy when it changed since
  // version (which is then updated); false, with nothing copied, otherwise.
  bool Refresh(SETTINGS& copy, std::uint64_t& version) const;
  // The same, with the options published beside the record.
  bool Refresh(SETTINGS& copy, DisplayOptions& options, std::uint64_t& version) const;
  // Any thread: the published record as it stands.
  SETTINGS Current() const;
  DisplayOptions CurrentOptions() const;
  std::uint64_t Version() const { return m_nVersion.load(std::memory_order_acquire); }

 private:
  const SETTINGS& m_record;
  const DisplayOptions& m_options;
  mutable std::mutex m_csPublished;
  SETTINGS m_published;
  DisplayOptions m_publishedOptions;
  std::atomic<std::uint64_t> m_nVersion{0};
};

// One thread's view of the published record: Refresh() at the start of each
// batch, then read Get() freely on that thread.
class SettingsSnapshot {
 public:
  explicit SettingsSnapshot(const LiveSettings& live) : m_live(live) { Refresh(); }
  // True when a newer record was taken.
  bool Refresh() { return m_live.Refresh(m_settings, m_options, m_nVersion); }
  const SETTINGS& Get() const { return m_settings; }
  const DisplayOptions& Options() const { return m_options; }

 private:
  const LiveSettings& m_live;
  SETTINGS m_settings;
  DisplayOptions m_options;
  std::uint64_t m_nVersion = 0;
};

}  // namespace tarnwick
