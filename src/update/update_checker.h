// The version check: once per run, on a thread of its own, asks the
// version-check page for the latest version and, when it names another one,
// (after asking the user, unless the page says not to) downloads the new
// executable beside the running one, writes and starts the swap script and
// closes the main window. Every failure ends the check silently.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "update/update_interfaces.h"
#include "update/update_reply.h"

namespace tarnwick {

// What the checker uses around it; every reference must outlive it.
struct UpdateServices {
  HttpClient& http;
  UpdateProfile& profile;
  UpdateWindow& window;
  UpdateFiles& files;
  UpdateClock now;
};

// Where a check ended; tests and diagnostics read it.
enum class CheckOutcome {
  kNotStarted,
  kRunning,
  kNoReply,    // the page could not be fetched
  kNotAReply,  // the first field is not "LastVer"
  kSameVersion,
  kNoDownloadUrl,   // field 4 is not an http(s) URL
  kDirNotWritable,  // the executable's directory takes no new files
  kNamesNotAscii,   // Windows: the swap script could not name the files (see BatchCanHold)
  kAskedRecently,   // the question came less than three days ago
  kDeclined,        // the user answered No
  kClosed,          // the program closed while the question was open
  kDownloadFailed,
  kBadDownload,   // length, size or magic not right
  kFileFailed,    // the new executable could not be written
  kScriptFailed,  // the swap script could not be written or started
  kUpdating,      // the script runs; the main window was asked to close
  kStopped,       // Stop() came first
};

// The check's own profile section and values.
inline constexpr std::string_view kProfileSection = "Default";
inline constexpr std::string_view kProfileUid = "UID";
inline constexpr std::string_view kProfileUpdateRequest = "UpdateRequest";

// Limits of the two transfers: a longer reply is cut, as the buffer it goes
// into is.
inline constexpr std::size_t kMaxReplyBody = kReplySize;
inline constexpr long kReplyTimeoutSeconds = 60;

// Seconds since 1970-01-01 UTC from the system clock.
std::int64_t SystemTimeNow();

class CUpdateChecker {
 public:
  // exePath: the running executable's full path; version: the own version;
  // title: the application's title (the question's caption); pid: this
  // process, which the swap script waits for.
  CUpdateChecker(UpdateServices services, std::string_view exePath, std::string version,
                 std::string title, std::int64_t pid);
  // Stops a check that still runs.
  ~CUpdateChecker();
  CUpdateChecker(const CUpdateChecker&) = delete;
  CUpdateChecker& operator=(const CUpdateChecker&) = delete;

  // Reads or creates the UID, builds m_strUrl and starts the check thread.
  // startDir: where the new program is to start. An empty baseUrl turns the
  // check off: nothing is read, written or started, and false comes back.
  bool StartCheck(std::string_view baseUrl, std::string startDir);

  // Ends a running check: the transfer is aborted, an open question ends as
  // if the program closed, and no file is written after it; then waits for
  // the thread, which takes no longer than the step it is in needs to notice.
  void Stop();
  // The same, but waits at most wait for the thread, which may be in a step
  // nothing can cut short (the new executable's fsync). True when it ended
  // and was joined; false leaves it running, and the checker and its
  // services must then stay alive until the process ends.
  bool StopWithin(std::chrono::milliseconds wait);
  // Waits for the check to end by itself.
  void WaitForEnd();

  CheckOutcome Outcome() const { return m_outcome.load(); }

  // The thread procedure: runs the check on checker and returns 0.
  static int CheckThread(CUpdateChecker* checker);
  // Writes the platform's swap script into m_strDir.
  bool WriteUpdaterBatch();

  std::thread m_hThread;
  std::string m_strUrl;
  std::string m_strVersion;
  std::uint8_t m_szBuffer[kReplySize] = {};
  std::string m_strDir;
  std::string m_strExeName;
  std::int32_t m_nUid = 0;

 private:
  CheckOutcome RunCheck();
  CheckOutcome Download(const std::string& url);
  bool Stopping() const { return m_bStop.load(); }

  UpdateServices m_services;
  std::string m_strTitle;
  std::string m_strStartDir;
  std::int64_t m_nPid;
  std::atomic<bool> m_bStop{false};
  std::atomic<CheckOutcome> m_outcome{CheckOutcome::kNotStarted};
  std::mutex m_endMutex;
  std::condition_variable m_endChanged;
  bool m_bEnded = false;
};

// Splits an executable's full path at its last separator ('/'; on Windows
// also '\\'): the directory with its separator, and the file name.
void SplitExecutablePath(std::string_view path, std::string& dir, std::string& name);

}  // namespace tarnwick
