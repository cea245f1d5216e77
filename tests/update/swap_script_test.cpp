#include "update/swap_script.h"

#include <gtest/gtest.h>

#include <string>

#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/temp_dir.h"
#include "update/update_files.h"
#endif

namespace tarnwick {
namespace {

TEST(Quoting, ShellWordsAreSingleQuoted) {
  EXPECT_EQ(ShellQuote("a b"), "'a b'");
  EXPECT_EQ(ShellQuote("it's"), "'it'\\''s'");
  EXPECT_EQ(ShellQuote("$HOME;`id`\"x\""), "'$HOME;`id`\"x\"'");
  EXPECT_EQ(ShellQuote(""), "''");
}

TEST(Quoting, BatchWordsAreDoubleQuotedWithPercentSignsDoubled) {
  EXPECT_EQ(BatchQuote("C:\\Program Files\\a&b"), "\"C:\\Program Files\\a&b\"");
  EXPECT_EQ(BatchQuote("100%PATH%"), "\"100%%PATH%%\"");
}

TEST(UpdaterBatchText, HasTheSixLinesWithEveryNameQuoted) {
  EXPECT_EQ(UpdaterBatchText("Zerik.exe", "C:\\Users\\u", "D:\\Tools\\"),
            ":start\r\n"
            "copy  \"UpdZerik.exe\" \"Zerik.exe\"\r\n"
            "if not %errorlevel% == 0 goto start\r\n"
            "del \"UpdZerik.exe\"\r\n"
            "start \"\" /D \"C:\\Users\\u\" \"D:\\Tools\\Zerik.exe\"\r\n"
            "del \"updater.bat\"");
  const std::string text = UpdaterBatchText("a&b %x%.exe", "C:\\s", "D:\\");
  EXPECT_NE(text.find("copy  \"Upda&b %%x%%.exe\" \"a&b %%x%%.exe\"\r\n"), std::string::npos);
}

TEST(UpdaterShellText, HasTheSameShapeWithEveryNameQuoted) {
  EXPECT_EQ(UpdaterShellText("tarnwick", "/home/u", "/opt/t/", 4242),
            "#!/bin/sh\n"
            "while kill -0 4242 2>/dev/null; do s=$(cat /proc/4242/stat 2>/dev/null) || break; "
            "s=${s##*\") \"}; [ \"${s%% *}\" = Z ] && break; sleep 1; done\n"
            "mv -f -- '/opt/t/Updtarnwick' '/opt/t/tarnwick'\n"
            "rm -f -- '/opt/t/Updtarnwick'\n"
            "(cd -- '/home/u' 2>/dev/null || cd -- '/opt/t/'; exec '/opt/t/tarnwick') "
            "</dev/null >/dev/null 2>&1 &\n"
            "rm -f -- '/opt/t/updater.sh'\n");
}

#ifndef _WIN32

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// Names that would break or run something if they reached a shell unquoted.
const std::string kNastyName = "it's \"a\" ; $HOME `id` dir";

// A child that runs until it is killed: the program the script waits for.
class Sleeper {
 public:
  Sleeper() {
    m_pid = ::fork();
    if (m_pid == 0) {
      ::execl("/bin/sleep", "sleep", "600", static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  ~Sleeper() { End(); }
  pid_t pid() const { return m_pid; }
  // Killed but left unreaped: a zombie, as an ended program whose parent has
  // not yet waited for it.
  void Kill() { ::kill(m_pid, SIGKILL); }
  void End() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }

 private:
  pid_t m_pid = -1;
};

bool WaitForPath(const std::filesystem::path& path, bool present, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::filesystem::exists(path) != present) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::string Text(const std::string& path) {
  const std::vector<unsigned char> bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(UpdaterShellScript, SwapsStartsAndCleansUpInADirectoryWithBlanksAndQuotes) {
  TempDir root;
  const std::filesystem::path dir = root.path() / ("app " + kNastyName);
  const std::filesystem::path start = root.path() / ("start " + kNastyName);
  std::filesystem::create_directories(dir);
  std::filesystem::create_directories(start);
  const std::string name = "my prog;$x";
  const std::string dirText = dir.string() + "/";
  // The old program, and the new one: a script that notes where it started.
  WriteBytes(dirText + name, {'o', 'l', 'd'});
  const std::string newProgram = "#!/bin/sh\npwd > started\n";
  WriteBytes(dirText + "Upd" + name, {newProgram.begin(), newProgram.end()});
  ::chmod((dirText + "Upd" + name).c_str(), 0755);

  Sleeper program;
  PlatformUpdateFiles files;
  ASSERT_TRUE(files.WriteScript(dirText + "updater.sh",
                                UpdaterShellText(name, start.string(), dirText, program.pid())));
  ASSERT_TRUE(files.StartScript(dirText, "updater.sh"));

  // Nothing moves while the program runs.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_EQ(Text(dirText + name), "old");
  EXPECT_TRUE(std::filesystem::exists(dirText + "Upd" + name));

  program.Kill();
  ASSERT_TRUE(WaitForPath(start / "started", true, 20000));
  program.End();
  EXPECT_EQ(Text((start / "started").string()), start.string() + "\n");
  EXPECT_EQ(Text(dirText + name), newProgram);
  EXPECT_TRUE(WaitForPath(dirText + "updater.sh", false, 10000));
  EXPECT_FALSE(std::filesystem::exists(dirText + "Upd" + name));
  // Nothing but the new program is left, and nothing ran outside the quotes.
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++entries;
  EXPECT_EQ(entries, 1u);
  EXPECT_FALSE(std::filesystem::exists(root.path() / "id"));
}

#endif

}  // namespace
}  // namespace tarnwick
