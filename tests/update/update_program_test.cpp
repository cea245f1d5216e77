// The real program against a loopback version-check page, with its own
// TARNWICK_UPDATE_URL and a private XDG_CONFIG_HOME: the request, the profile
// it leaves, a complete self-update through the swap script, and an exit
// during a transfer that hangs.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "app/child_process.h"
#include "loopback_server.h"
#include "settings/settings.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::ChildProcess;
using testing::LoopbackServer;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

std::string Text(const std::filesystem::path& path) {
  const std::vector<unsigned char> bytes = ReadBytes(path.string());
  return std::string(bytes.begin(), bytes.end());
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// A copy of the program in a directory whose name has blanks, quotes, a
// semicolon and a dollar sign, started from another such directory.
class InstalledProgram {
 public:
  InstalledProgram() {
    std::filesystem::create_directories(appDir);
    std::filesystem::create_directories(startDir);
    std::filesystem::create_directories(configHome);
    std::filesystem::copy_file(TARNWICK_PROGRAM, Program());
    std::filesystem::permissions(Program(), std::filesystem::perms(0755));
    const SETTINGS settings = DefaultSettings();
    const auto* bytes = reinterpret_cast<const unsigned char*>(&settings);
    WriteBytes((startDir / "Tarnwick.cfg").string(), {bytes, bytes + sizeof settings});
  }

  std::string Program() const { return (appDir / "tarnwick").string(); }
  std::filesystem::path ProfileFile() const { return configHome / "Norvast" / "Tarnwick.conf"; }

  void WriteProfile(const std::string& text) {
    std::filesystem::create_directories(ProfileFile().parent_path());
    std::ofstream(ProfileFile()) << text;
  }
  // The [Default] values of the profile file.
  std::map<std::string, std::string> Profile() const {
    std::map<std::string, std::string> values;
    std::istringstream in(Text(ProfileFile()));
    std::string line, section;
    while (std::getline(in, line)) {
      if (!line.empty() && line[0] == '[') section = line;
      const std::size_t equals = line.find('=');
      if (section == "[Default]" && equals != std::string::npos)
        values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
  }

  std::unique_ptr<ChildProcess> Start(const std::string& pageUrl) {
    return std::make_unique<ChildProcess>(
        Program(), std::vector<std::string>{},
        std::vector<std::pair<std::string, std::string>>{
            {"TARNWICK_UPDATE_URL", pageUrl},
            {"XDG_CONFIG_HOME", configHome.string()},
            {"QT_QPA_PLATFORM", "offscreen"},
            {"TARNWICK_COM1", (root.path() / "no-port").string()}},
        startDir.string());
  }

  TempDir root;
  const std::string nasty = "'q' \"d\" ; $HOME";
  std::filesystem::path appDir = root.path() / ("app dir " + nasty);
  std::filesystem::path startDir = root.path() / ("start dir " + nasty);
  std::filesystem::path configHome = root.path() / "config home";
};

std::string Routes(const std::string& page, const std::string& download) {
  return R"({"/ver/checkver.php": [)" + page + R"(], "/new": [)" + download + "]}";
}

TEST(UpdateProgram, ANewVersionIsDownloadedSwappedInAndStartedInTheStartDirectory) {
  InstalledProgram installed;
  installed.WriteProfile("[Default]\nUID=171\n");
  LoopbackServer server(Routes(R"({"body": "LastVer;9.9.9.9;0;{base}/new;"})",
                               R"({"body_file": ")" TARNWICK_UPDATE_MARKER R"("})"));
  ASSERT_TRUE(server.ok());
  auto program = installed.Start(server.Base() + "/ver/checkver.php?app=zerik");
  ASSERT_TRUE(program->started());

  // The program closes itself as Exit does.
  const int status = program->Wait(30000);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadBytes((installed.startDir / "Tarnwick.cfg").string()).size(), sizeof(SETTINGS));
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(server.Requests()[0].path, "/ver/checkver.php?app=zerik&uid=AB");
  EXPECT_EQ(server.Requests()[1].path, "/new");
  EXPECT_EQ(installed.Profile()["UID"], "171");
  EXPECT_FALSE(installed.Profile()["UpdateRequest"].empty());

  // The script swaps the files once the program has gone, then starts the new
  // one where the old one was started.
  ASSERT_TRUE(
      WaitFor([&] { return std::filesystem::exists(installed.startDir / "started"); }, 20000));
  EXPECT_EQ(Text(installed.startDir / "started"), installed.startDir.string() + "\n");
  EXPECT_EQ(ReadBytes(installed.Program()), ReadBytes(TARNWICK_UPDATE_MARKER));
  EXPECT_EQ(std::filesystem::status(installed.Program()).permissions(),
            std::filesystem::perms(0755));
  EXPECT_TRUE(
      WaitFor([&] { return !std::filesystem::exists(installed.appDir / "updater.sh"); }, 10000));
  EXPECT_FALSE(std::filesystem::exists(installed.appDir / "Updtarnwick"));
}

TEST(UpdateProgram, TheSameVersionStoresANewUidAndNothingElse) {
  InstalledProgram installed;
  LoopbackServer server(Routes(R"({"body": "LastVer;1.2.1.2;0;{base}/new;"})",
                               R"({"body_file": ")" TARNWICK_UPDATE_MARKER R"("})"));
  ASSERT_TRUE(server.ok());
  auto program = installed.Start(server.Base() + "/ver/checkver.php?app=zerik");
  ASSERT_TRUE(server.WaitForRequests(1, 20000));
  // Time for the reply to be read; what the check decides from it is pinned
  // down by the unit tests, this shows what the program leaves behind.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  program->Signal(SIGTERM);
  const int status = program->Wait(10000);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);

  const std::string uid = installed.Profile()["UID"];
  ASSERT_FALSE(uid.empty());
  char hex[16];
  std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(std::stoll(uid)));
  EXPECT_EQ(server.Requests()[0].path, std::string("/ver/checkver.php?app=zerik&uid=") + hex);
  EXPECT_EQ(installed.Profile().count("UpdateRequest"), 0u);
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(installed.appDir / "Updtarnwick"));
}

TEST(UpdateProgram, ExitDuringAHangingTransferIsNotHeldUp) {
  for (const std::string& page : {std::string(R"({"mode": "hang"})"),
                                  std::string(R"({"body": "LastVer;9.9.9.9;0;{base}/new;"})")}) {
    InstalledProgram installed;
    LoopbackServer server(
        Routes(page, R"({"mode": "stall", "body_file": ")" TARNWICK_UPDATE_MARKER R"("})"));
    ASSERT_TRUE(server.ok());
    auto program = installed.Start(server.Base() + "/ver/checkver.php?app=zerik");
    const std::size_t requests = page.find("hang") != std::string::npos ? 1 : 2;
    ASSERT_TRUE(server.WaitForRequests(requests, 20000));
    program->Signal(SIGTERM);
    // Far below the 30 s after which a stalled transfer would end by itself.
    const int status = program->Wait(10000);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(std::filesystem::exists(installed.appDir / "Updtarnwick"));
    EXPECT_FALSE(std::filesystem::exists(installed.appDir / "updater.sh"));
  }
}

}  // namespace
}  // namespace tarnwick
