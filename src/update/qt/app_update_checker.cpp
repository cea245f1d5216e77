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

AppUpdateChecker::AppUpdateChecker(QObject* gui, MessageBoxes& boxes,
                                   std::function<void()> closeMainWindow,
                                   std::function<bool()> closing)
    : m_http(std::string(kAppTitle)),
      m_window(gui, boxes, std::move(closeMainWindow), std::move(closing)),
      m_checker({m_http, m_profile, m_window, m_files, &SystemTimeNow}, OwnExecutablePath(),
                kOwnVersion, std::string(kAppTitle), CurrentProcessId()) {}

bool AppUpdateChecker::StartCheck(const std::string& startDir) {
  return m_checker.StartCheck(UpdateUrlForThisRun(), startDir);
}

}  // namespace tarnwick
