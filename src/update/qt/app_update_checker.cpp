#include "update/qt/app_update_checker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <utility>

#include "app/command_table.h"
#include "update/build_config.h"
#include "update/update_url.h"

namespace tarnwick {
namespace {

std::string OwnExecutablePath() {
  return QFile::encodeName(QDir::toNativeSeparators(QCoreApplication::applicationFilePath()))
      .toStdString();
}

}  // namespace

struct AppUpdateChecker::Parts {
  Parts(QObject* gui, MessageBoxes& boxes, std::function<void()> closeMainWindow,
        std::function<bool()> closing)
      : http(std::string(kAppTitle)),
        window(gui, boxes, std::move(closeMainWindow), std::move(closing)),
        checker({http, profile, window, files, &SystemTimeNow}, OwnExecutablePath(), kOwnVersion,
                std::string(kAppTitle), CurrentProcessId()) {}

  CurlHttpClient http;
  QtUpdateProfile profile;
  QtUpdateWindow window;
  PlatformUpdateFiles files;
  CUpdateChecker checker;
};

AppUpdateChecker::AppUpdateChecker(QObject* gui, MessageBoxes& boxes,
                                   std::function<void()> closeMainWindow,
                                   std::function<bool()> closing)
    : m_pParts(new Parts(gui, boxes, std::move(closeMainWindow), std::move(closing))) {}

AppUpdateChecker::~AppUpdateChecker() {
  Stop();
  if (!m_bLeftRunning) delete m_pParts;
}

bool AppUpdateChecker::StartCheck(const std::string& startDir) {
  return m_pParts->checker.StartCheck(UpdateUrlForThisRun(), startDir);
}

CUpdateChecker& AppUpdateChecker::Checker() { return m_pParts->checker; }

void AppUpdateChecker::Stop() {
  if (m_bLeftRunning || m_pParts->checker.StopWithin(kExitWait)) return;
  // Deliberately never freed: the thread still uses it, and the process ends.
  m_pParts->checker.m_hThread.detach();
  m_bLeftRunning = true;
}

}  // namespace tarnwick
