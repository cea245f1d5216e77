// The version check as the program runs it: libcurl, the QSettings profile,
// the question box and the files beside the executable, around one
// CUpdateChecker.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "platform/message_box.h"
#include "update/curl/curl_http_client.h"
#include "update/qt/qt_update_profile.h"
#include "update/qt/qt_update_window.h"
#include "update/update_checker.h"
#include "update/update_files.h"

class QObject;

namespace tarnwick {

class AppUpdateChecker {
 public:
  // The arguments are QtUpdateWindow's; a QCoreApplication must exist.
  AppUpdateChecker(QObject* gui, MessageBoxes& boxes, std::function<void()> closeMainWindow,
                   std::function<bool()> closing);
  ~AppUpdateChecker();
  AppUpdateChecker(const AppUpdateChecker&) = delete;
  AppUpdateChecker& operator=(const AppUpdateChecker&) = delete;

  // Checks against this run's page (TARNWICK_UPDATE_URL); startDir is where
  // the new program will start. False when no check runs.
  bool StartCheck(const std::string& startDir);
  // Ends a running check. The program's exit never waits for it: a thread
  // still busy after kExitWait (in a step nothing can cut short, such as the
  // new executable's fsync) is left to the end of the process, with
  // everything it uses.
  void Stop();

  CUpdateChecker& Checker();

  static constexpr std::chrono::milliseconds kExitWait{200};

 private:
  struct Parts;
  Parts* m_pParts;  // owned, unless a thread that did not stop was left it
  bool m_bLeftRunning = false;
};

}  // namespace tarnwick
