// Whether the view keeps the newest line in sight. It follows while it is at
// the end; a move of the user's away from the end stops it, a move back to
// the end (End, Ctrl+End, the scroll bar or the wheel) starts it again, and
// Find's jump to a match stops it. With the option off it never follows, as
// the settings record's view never scrolls by itself.
#pragma once

#include <string_view>

namespace tarnwick {

inline constexpr std::string_view kFollowPausedPrompt =
    "Following paused: scroll to the end or press End to follow new lines";
inline constexpr std::string_view kFollowResumedPrompt = "Following new lines";

class FollowRule {
 public:
  enum class Change { kNone, kPaused, kResumed };

  explicit FollowRule(bool enabled = true) : m_bEnabled(enabled), m_bFollowing(enabled) {}

  // The option changed: on follows from now on, off never follows.
  void SetEnabled(bool enabled) {
    m_bEnabled = enabled;
    m_bFollowing = enabled;
  }
  bool Enabled() const { return m_bEnabled; }
  bool Following() const { return m_bFollowing; }

  // The user moved the view; atEnd: it shows the newest line now.
  Change UserMoved(bool atEnd) { return Set(atEnd); }
  // The view jumped to show a match.
  Change Jumped() { return Set(false); }

  // Where the view goes when the document's end moves to maximum.
  int Position(int value, int maximum) const { return m_bFollowing ? maximum : value; }

 private:
  Change Set(bool follow) {
    if (!m_bEnabled || follow == m_bFollowing) return Change::kNone;
    m_bFollowing = follow;
    return follow ? Change::kResumed : Change::kPaused;
  }

  bool m_bEnabled;
  bool m_bFollowing;
};

}  // namespace tarnwick
