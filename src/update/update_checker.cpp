#include "update/update_checker.h"

#include <chrono>
#include <utility>

#include "update/swap_script.h"
#include "update/update_rules.h"

namespace tarnwick {

std::int64_t SystemTimeNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void SplitExecutablePath(std::string_view path, std::string& dir, std::string& name) {
#ifdef _WIN32
  const std::size_t separator = path.find_last_of("\\/");
#else
  const std::size_t separator = path.find_last_of('/');
#endif
  if (separator == std::string_view::npos) {
    dir.clear();
    name = path;
    return;
  }
  dir = path.substr(0, separator + 1);
  name = path.substr(separator + 1);
}

CUpdateChecker::CUpdateChecker(UpdateServices services, std::string_view exePath,
                               std::string version, std::string title, std::int64_t pid)
    : m_strVersion(std::move(version)),
      m_services(std::move(services)),
      m_strTitle(std::move(title)),
      m_nPid(pid) {
  SplitExecutablePath(exePath, m_strDir, m_strExeName);
}

CUpdateChecker::~CUpdateChecker() { Stop(); }

bool CUpdateChecker::StartCheck(std::string_view baseUrl, std::string startDir) {
  if (baseUrl.empty() || Stopping() || m_outcome.load() != CheckOutcome::kNotStarted) return false;
  m_strStartDir = std::move(startDir);
  m_nUid = m_services.profile.GetProfileInt(kProfileSection, kProfileUid, 0);
  if (m_nUid == 0) {
    m_nUid = LowTime32(m_services.now());
    m_services.profile.WriteProfileInt(kProfileSection, kProfileUid, m_nUid);
  }
  m_strUrl = RequestUrl(baseUrl, m_nUid);
  m_outcome = CheckOutcome::kRunning;
  m_hThread = std::thread(&CUpdateChecker::CheckThread, this);
  return true;
}

void CUpdateChecker::Stop() {
  m_bStop = true;
  m_services.http.Cancel();
  m_services.window.Cancel();
  if (m_hThread.joinable()) m_hThread.join();
}

bool CUpdateChecker::StopWithin(std::chrono::milliseconds wait) {
  m_bStop = true;
  m_services.http.Cancel();
  m_services.window.Cancel();
  if (!m_hThread.joinable()) return true;
  std::unique_lock<std::mutex> lock(m_endMutex);
  if (!m_endChanged.wait_for(lock, wait, [this] { return m_bEnded; })) return false;
  lock.unlock();
  m_hThread.join();
  return true;
}

void CUpdateChecker::WaitForEnd() {
  if (m_hThread.joinable()) m_hThread.join();
}

int CUpdateChecker::CheckThread(CUpdateChecker* checker) {
  checker->m_outcome = checker->RunCheck();
  const std::lock_guard<std::mutex> lock(checker->m_endMutex);
  checker->m_bEnded = true;
  checker->m_endChanged.notify_all();
  return 0;
}

CheckOutcome CUpdateChecker::RunCheck() {
  HttpReply page;
  if (!m_services.http.Get(m_strUrl, {kMaxReplyBody, kReplyTimeoutSeconds, true, {}}, page)) {
    return Stopping() ? CheckOutcome::kStopped : CheckOutcome::kNoReply;
  }
  CopyReply(page.body, m_szBuffer);
  const UpdateReply reply = ParseReply(m_szBuffer);
  const ReplyVerdict verdict = JudgeReply(reply, m_strVersion);
  switch (verdict) {
    case ReplyVerdict::kNotAReply:
      return CheckOutcome::kNotAReply;
    case ReplyVerdict::kSameVersion:
      return CheckOutcome::kSameVersion;
    case ReplyVerdict::kNoDownload:
      return CheckOutcome::kNoDownloadUrl;
    case ReplyVerdict::kAsk:
    case ReplyVerdict::kUpdate:
      break;
  }
  // An installed copy the user cannot replace is not offered an update.
  if (!m_services.files.DirectoryWritable(m_strDir)) return CheckOutcome::kDirNotWritable;
#ifdef _WIN32
  // Nothing is asked or fetched for an update that could not be swapped in.
  if (!BatchCanHold(m_strDir) || !BatchCanHold(m_strExeName) || !BatchCanHold(m_strStartDir)) {
    return CheckOutcome::kNamesNotAscii;
  }
#endif

  const std::int32_t now = LowTime32(m_services.now());
  if (verdict == ReplyVerdict::kAsk) {
    const std::int32_t lastRequest =
        m_services.profile.GetProfileInt(kProfileSection, kProfileUpdateRequest, 0);
    if (AskedRecently(now, lastRequest)) return CheckOutcome::kAskedRecently;
    const UpdateAnswer answer =
        m_services.window.AskUpdate(UpdateQuestionText(m_strVersion, reply.version), m_strTitle);
    // A question the closing program took away was never answered.
    if (answer == UpdateAnswer::kClosed || Stopping()) return CheckOutcome::kClosed;
    if (answer == UpdateAnswer::kNo) {
      m_services.profile.WriteProfileInt(kProfileSection, kProfileUpdateRequest, now);
      return CheckOutcome::kDeclined;
    }
  }
  m_services.profile.WriteProfileInt(kProfileSection, kProfileUpdateRequest, now);
  return Download(reply.downloadUrl);
}

CheckOutcome CUpdateChecker::Download(const std::string& url) {
  // The body streams into a temporary file beside the program: nothing of
  // its size is held in memory, and a stop is seen between two pieces.
  if (!m_services.files.BeginExecutable(m_strDir)) return CheckOutcome::kFileFailed;
  std::string head;
  std::uint64_t size = 0;
  bool writeFailed = false;
  HttpLimits limits{kMaxDownloadSize, 0, false, {}};
  limits.sink = [&](std::string_view piece) {
    if (Stopping()) return false;
    if (head.size() < kExecutableHeadSize)
      head.append(piece.substr(0, kExecutableHeadSize - head.size()));
    size += piece.size();
    writeFailed = !m_services.files.AppendExecutable(piece);
    return !writeFailed;
  };
  HttpReply download;
  if (!m_services.http.Get(url, limits, download)) {
    m_services.files.DiscardExecutable();
    if (Stopping()) return CheckOutcome::kStopped;
    return writeFailed ? CheckOutcome::kFileFailed : CheckOutcome::kDownloadFailed;
  }
  if (JudgeDownload(download.contentLength, size, head, OwnExecutableSignature()) !=
      DownloadVerdict::kAccept) {
    m_services.files.DiscardExecutable();
    return CheckOutcome::kBadDownload;
  }
  // A program that is closing anyway is not replaced behind the user's back.
  if (Stopping()) {
    m_services.files.DiscardExecutable();
    return CheckOutcome::kStopped;
  }

  const std::string exePath = m_strDir + m_strExeName;
  const std::string updPath = m_strDir + "Upd" + m_strExeName;
  if (!m_services.files.FinishExecutable(updPath, exePath)) return CheckOutcome::kFileFailed;

  // Without a running script the copy would only lie there and the program
  // would close for nothing: it stays open and the copy goes.
  const std::string scriptName(UpdaterScriptName());
  if (Stopping() || !WriteUpdaterBatch()) {
    m_services.files.Remove(updPath);
    return Stopping() ? CheckOutcome::kStopped : CheckOutcome::kScriptFailed;
  }
  if (Stopping() || !m_services.files.StartScript(m_strDir, scriptName)) {
    m_services.files.Remove(updPath);
    m_services.files.Remove(m_strDir + scriptName);
    return Stopping() ? CheckOutcome::kStopped : CheckOutcome::kScriptFailed;
  }
  m_services.window.CloseMainWindow();
  return CheckOutcome::kUpdating;
}

bool CUpdateChecker::WriteUpdaterBatch() {
#ifdef _WIN32
  const std::string text = UpdaterBatchText(m_strExeName, m_strStartDir, m_strDir);
#else
  const std::string text = UpdaterShellText(m_strExeName, m_strStartDir, m_strDir, m_nPid);
#endif
  return m_services.files.WriteScript(m_strDir + std::string(UpdaterScriptName()), text);
}

}  // namespace tarnwick
