// The version check as the program runs it: libcurl, the QSettings profile,
// the question box and the files beside the executable, around one
// CUpdateChecker.
#pragma once

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

  // Checks against this run's page (TARNWICK_UPDATE_URL); startDir is where
  // the new program will start. False when no check runs.
  bool StartCheck(const std::string& startDir);
  // Ends a running check; returns once its thread has ended.
  void Stop() { m_checker.Stop(); }

  CUpdateChecker& Checker() { return m_checker; }

 private:
  CurlHttpClient m_http;
  QtUpdateProfile m_profile;
  QtUpdateWindow m_window;
  PlatformUpdateFiles m_files;
  CUpdateChecker m_checker;
};

}  // namespace tarnwick
