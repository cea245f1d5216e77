// A running application in a temporary start directory, with COM1 mapped to
// a real pseudo-terminal (or to a path that does not exist) and the message
// boxes recorded.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTest>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/main_frame.h"
#include "app/zerik_app.h"
#include "platform/com_names.h"
#include "port/serial_device.h"
#include "settings/settings.h"
#include "support/pseudo_terminal.h"
#include "support/recording_message_boxes.h"
#include "support/scripted_choosers.h"
#include "support/temp_dir.h"

namespace tarnwick::testing {

// Processes events until done() holds or timeoutMs passed.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QTest::qSleep(2);
  }
  return true;
}

inline std::vector<unsigned char> RecordBytes(const SETTINGS& settings) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&settings);
  return {bytes, bytes + sizeof settings};
}

class AppFixture {
 public:
  // withPort: COM1 is a pseudo-terminal; otherwise a path that does not exist.
  explicit AppFixture(bool withPort) {
    if (withPort) m_pty = std::make_unique<PseudoTerminal>();
    const std::string device = withPort ? m_pty->path() : (dir.path() / "no-such-device").string();
    ::setenv("TARNWICK_COM1", device.c_str(), 1);
    m_previousDir = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
  }
  ~AppFixture() {
    app.reset();
    SetRunComDevice(1, "");
    std::filesystem::current_path(m_previousDir);
    ::unsetenv("TARNWICK_COM1");
  }

  // Writes the configuration file the next start reads.
  void WriteConfig(const SETTINGS& settings) {
    WriteBytes(dir.File("Tarnwick.cfg"), RecordBytes(settings));
  }

  // Creates the application and runs its start-up; openUrl records F1, the
  // modal dialogs are answered by answerDialog and files by chooser.
  void Start() {
    app =
        std::make_unique<CZerikApp>(CreatePlatformSerialBackend(), boxes, [this](const QUrl& url) {
          openedUrls.push_back(url);
          return browserStarts;
        });
    app->SetHelpDirs(helpDirs);
    app->SetModalRunner([this](QDialog& dialog) {
      dialogsRun.push_back(dialog.windowTitle());
      return answerDialog(dialog);
    });
    app->Choosers().file = &chooser;
    app->SetRunSettings(run);
    app->InitInstance();
  }

  CMainFrame& Frame() { return *app->MainFrame(); }
  CZerikView& View() { return *app->MainFrame()->View(); }
  PortWorker& Worker() { return *app->Worker(); }
  PseudoTerminal& Pty() { return *m_pty; }

  bool WaitForPortOpen() {
    return WaitFor([this] { return app->Worker()->m_bPortOpen.load(); });
  }

  TempDir dir;
  RecordingMessageBoxes boxes;
  std::vector<QUrl> openedUrls;
  bool browserStarts = true;
  // Where F1 looks after the start directory: the test's own, so an
  // installed page does not count.
  std::vector<std::filesystem::path> helpDirs{dir.path() / "share", dir.path() / "bin"};
  // Every modal dialog the application runs (the first start's Port Settings
  // too) comes here instead of its own event loop: cancelled unless a test
  // says otherwise.
  std::function<int(QDialog&)> answerDialog = [](QDialog&) { return int(QDialog::Rejected); };
  std::vector<QString> dialogsRun;
  ScriptedFileChooser chooser;
  // What the command line sets up for the run.
  RunSettings run;
  std::unique_ptr<CZerikApp> app;

 private:
  std::unique_ptr<PseudoTerminal> m_pty;
  std::filesystem::path m_previousDir;
};

}  // namespace tarnwick::testing
