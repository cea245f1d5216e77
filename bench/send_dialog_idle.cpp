// The Send data window in the running application, on a pseudo-terminal:
//  - what the open but idle window costs (CPU and wake-ups of the user-
//    interface thread), against the same application without it;
//  - how long a start of a large text holds the user-interface thread;
//  - a 1 MiB send through the window, with the far side reading: rate, and
//    the user-interface thread's CPU while the progress is polled.
//
// Usage: send_dialog_idle [idle-seconds] [text-MiB]   (offscreen unless
// QT_QPA_PLATFORM says otherwise)
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/zerik_app.h"
#include "port/serial_device.h"
#include "settings/config_file.h"
#include "transmit/qt/send_dialog.h"

namespace {

using Clock = std::chrono::steady_clock;

class SilentBoxes : public tarnwick::MessageBoxes {
 public:
  tarnwick::MessageResult Show(std::string_view text, std::string_view caption,
                               tarnwick::MessageIcon, tarnwick::MessageButtons) override {
    std::fprintf(stderr, "box: %.*s / %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(std::min<std::size_t>(text.size(), 80)), text.data());
    return tarnwick::MessageResult::kOk;
  }
};

double ClockSeconds(clockid_t clock) {
  timespec ts{};
  ::clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

long VoluntarySwitches() {
  std::ifstream status("/proc/thread-self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::stol(line.substr(24));
  }
  return -1;
}

// Runs the event loop for seconds, sleeping while nothing happens.
void Idle(double seconds) {
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
  loop.exec();
}

struct Cost {
  double processCpu;  // all threads
  double uiCpu;       // this (the user-interface) thread
  long uiWakeups;
};

Cost Measure(double seconds) {
  const double process = ClockSeconds(CLOCK_PROCESS_CPUTIME_ID);
  const double ui = ClockSeconds(CLOCK_THREAD_CPUTIME_ID);
  const long switches = VoluntarySwitches();
  Idle(seconds);
  return {ClockSeconds(CLOCK_PROCESS_CPUTIME_ID) - process,
          ClockSeconds(CLOCK_THREAD_CPUTIME_ID) - ui, VoluntarySwitches() - switches};
}

void Report(const char* what, const Cost& cost, double seconds) {
  std::printf("%-34s process CPU %6.2f %%, UI thread CPU %6.2f %%, UI wake-ups %6.1f /s\n", what,
              100 * cost.processCpu / seconds, 100 * cost.uiCpu / seconds,
              static_cast<double>(cost.uiWakeups) / seconds);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const double idleSeconds = argc > 1 ? std::atof(argv[1]) : 5;
  const int textMiB = argc > 2 ? std::atoi(argv[2]) : 10;

  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return 1;
  struct termios raw;
  if (::tcgetattr(master, &raw) == 0) {
    ::cfmakeraw(&raw);
    ::tcsetattr(master, TCSANOW, &raw);
  }
  ::setenv("TARNWICK_COM1", ::ptsname(master), 1);

  // A start directory of its own, with a configuration file so nothing asks.
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("tarnwick-send-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
  SilentBoxes boxes;
  tarnwick::SaveConfig(tarnwick::DefaultSettings(), dir.string(), boxes);

  // The far side drains whatever arrives.
  std::atomic<bool> draining{true};
  std::atomic<long> received{0};
  std::thread reader([&] {
    std::vector<char> buffer(64 * 1024);
    while (draining.load()) {
      struct pollfd p {
        master, POLLIN, 0
      };
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::read(master, buffer.data(), buffer.size());
      if (n > 0) received.fetch_add(n);
    }
  });

  {
    tarnwick::CZerikApp app(tarnwick::CreatePlatformSerialBackend(), boxes);
    app.InitInstance();
    while (!app.Worker()->m_bPortOpen.load()) Idle(0.01);
    Idle(0.5);  // first paints settle

    const Cost without = Measure(idleSeconds);
    app.OnSend();
    tarnwick::CSendDialog& dialog = *app.SendDialog();
    Idle(0.5);
    const Cost with = Measure(idleSeconds);
    std::printf("idle, %.0f s each:\n", idleSeconds);
    Report("  main window only", without, idleSeconds);
    Report("  main window + Send data (idle)", with, idleSeconds);

    auto* text = dialog.findChild<QPlainTextEdit*>(QStringLiteral("textBox"));
    auto* send = dialog.findChild<QPushButton*>(QStringLiteral("sendButton"));

    // 1 MiB of typed text through the window, far side reading: lines of 64
    // characters, each sent with CR LF.
    const QString line = QString(62, QLatin1Char('m')) + QLatin1Char('\n');
    text->setPlainText(line.repeated((1 << 20) / 64));
    const long before = received.load();
    const double uiBefore = ClockSeconds(CLOCK_THREAD_CPUTIME_ID);
    const auto start = Clock::now();
    send->click();
    const long length = dialog.Controller().Parser().m_nDataLength;
    while (send->text() != QStringLiteral("SEND")) Idle(0.005);
    while (received.load() - before < length) Idle(0.001);
    const double sendSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%ld bytes of text sent:          %.0f kB/s, UI thread CPU %.2f %% meanwhile\n",
                length, static_cast<double>(length) / 1000.0 / sendSeconds,
                100 * (ClockSeconds(CLOCK_THREAD_CPUTIME_ID) - uiBefore) / sendSeconds);

    // A paste of textMiB in lines (a dump), and a start of it: reading the
    // box, parsing, handing over. The paste's time is the text box's own.
    QElapsedTimer held;
    held.start();
    text->setPlainText(line.repeated((textMiB << 20) / 64));
    Idle(0.2);
    std::printf("paste of %d MiB in lines (Qt layout): %.0f ms\n", textMiB,
                static_cast<double>(held.nsecsElapsed()) / 1e6 - 200);
    held.restart();
    send->click();  // returns once the block is handed over
    const double startMs = static_cast<double>(held.nsecsElapsed()) / 1e6;
    send->click();  // ABORT
    std::printf("start of that text (UI thread):    %.0f ms\n", startMs);

    // One line of a megabyte: the box wraps it anywhere.
    held.restart();
    text->setPlainText(QString(1 << 20, QLatin1Char('w')));
    Idle(0.2);
    std::printf("paste of a 1 MiB line (Qt layout):  %.0f ms\n",
                static_cast<double>(held.nsecsElapsed()) / 1e6 - 200);
    app.ExitInstance();
  }
  draining.store(false);
  reader.join();
  ::close(master);
  std::error_code ignored;
  std::filesystem::current_path(std::filesystem::temp_directory_path(), ignored);
  std::filesystem::remove_all(dir, ignored);
  return 0;
}
