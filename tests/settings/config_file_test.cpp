#include "settings/config_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>

#include "support/recording_message_boxes.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::ReadBytes;
using testing::RecordingMessageBoxes;
using testing::TempDir;
using testing::WriteBytes;

std::vector<unsigned char> RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<unsigned char> bytes(n);
  for (auto& b : bytes) b = static_cast<unsigned char>(rng());
  return bytes;
}

std::vector<unsigned char> BytesOf(const SETTINGS& s) {
  const auto* p = reinterpret_cast<const unsigned char*>(&s);
  return {p, p + sizeof s};
}

TEST(LoadConfig, MissingFileWarnsAndKeepsDefaults) {
  TempDir dir;
  RecordingMessageBoxes boxes;
  SETTINGS s = DefaultSettings();
  EXPECT_FALSE(LoadConfig(s, dir.path().string(), boxes));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Configuration file not found !");
  EXPECT_EQ(boxes.shown[0].caption, "Tarnwick initialization");
  EXPECT_EQ(boxes.shown[0].icon, MessageIcon::kWarning);
  EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::kOk);
  EXPECT_EQ(BytesOf(s), BytesOf(DefaultSettings()));
}

TEST(LoadConfig, LoadAndSaveReproducesTheFileByteForByte) {
  // Random content stands for reserved words, padding and the bytes after each
  // path's terminator: none of them may be normalised on the way through.
  TempDir dir;
  const auto original = RandomBytes(kSettingsSize, 7);
  WriteBytes(dir.File(kConfigFileName), original);
  RecordingMessageBoxes boxes;
  SETTINGS s = DefaultSettings();
  ASSERT_TRUE(LoadConfig(s, dir.path().string(), boxes));
  ASSERT_TRUE(SaveConfig(s, dir.path().string(), boxes));
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(ReadBytes(dir.File(kConfigFileName)), original);
}

TEST(LoadConfig, ShortFileOverwritesOnlyItsLeadingBytes) {
  for (std::size_t length : {0u, 1u, 10u, 137u, 2191u}) {
    SCOPED_TRACE(length);
    TempDir dir;
    const auto content = RandomBytes(length, static_cast<unsigned>(length));
    WriteBytes(dir.File(kConfigFileName), content);
    RecordingMessageBoxes boxes;
    SETTINGS s = DefaultSettings();
    ASSERT_TRUE(LoadConfig(s, dir.path().string(), boxes));
    auto expected = BytesOf(DefaultSettings());
    std::copy(content.begin(), content.end(), expected.begin());
    EXPECT_EQ(BytesOf(s), expected);
  }
}

TEST(LoadConfig, TenByteFileSetsPortBaudAndLowHalfOfDataBits) {
  TempDir dir;
  WriteBytes(dir.File(kConfigFileName), {4, 0, 0, 0, 12, 0, 0, 0, 0x01, 0x00});
  RecordingMessageBoxes boxes;
  SETTINGS s = DefaultSettings();
  ASSERT_TRUE(LoadConfig(s, dir.path().string(), boxes));
  EXPECT_EQ(s.nPortIndex, 4);
  EXPECT_EQ(s.nBaudIndex, 12);
  EXPECT_EQ(s.nDataBitsIndex, 1);  // low two bytes 01 00, high two kept from 3
  EXPECT_EQ(s.nRows, 8);
}

TEST(LoadConfig, LongFileLoadsItsFirstRecordAndTheNextSaveShortensIt) {
  TempDir dir;
  const auto content = RandomBytes(3000, 3);
  WriteBytes(dir.File(kConfigFileName), content);
  RecordingMessageBoxes boxes;
  SETTINGS s = DefaultSettings();
  ASSERT_TRUE(LoadConfig(s, dir.path().string(), boxes));
  EXPECT_EQ(BytesOf(s),
            std::vector<unsigned char>(content.begin(), content.begin() + kSettingsSize));
  ASSERT_TRUE(SaveConfig(s, dir.path().string(), boxes));
  EXPECT_EQ(ReadBytes(dir.File(kConfigFileName)).size(), kSettingsSize);
}

// Entries that open, or would block opening, but hold no record: each is
// reported as the missing file is, and the defaults stay.
TEST(LoadConfig, UnreadableEntryWarnsAndKeepsDefaults) {
  struct Case {
    const char* name;
    void (*make)(const std::string& path, const TempDir& dir);
  };
  std::vector<Case> cases = {
      {"directory",
       [](const std::string& path, const TempDir&) { std::filesystem::create_directory(path); }},
  };
#ifndef _WIN32
  cases.push_back({"symlink to a directory", [](const std::string& path, const TempDir& dir) {
                     std::filesystem::create_directory(dir.File("elsewhere"));
                     std::filesystem::create_directory_symlink(dir.File("elsewhere"), path);
                   }});
  cases.push_back({"FIFO without a writer", [](const std::string& path, const TempDir&) {
                     ASSERT_EQ(0, ::mkfifo(path.c_str(), 0600));
                   }});
#endif
  for (const auto& c : cases) {
    TempDir dir;
    c.make(dir.File(kConfigFileName), dir);
    RecordingMessageBoxes boxes;
    SETTINGS s = DefaultSettings();
    EXPECT_FALSE(LoadConfig(s, dir.path().string(), boxes)) << c.name;
    EXPECT_EQ(BytesOf(s), BytesOf(DefaultSettings())) << c.name;
    ASSERT_EQ(boxes.shown.size(), 1u) << c.name;
    EXPECT_EQ(boxes.shown[0].text, "Configuration file not found !") << c.name;
    EXPECT_EQ(boxes.shown[0].caption, "Tarnwick initialization") << c.name;
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::kWarning) << c.name;
  }
}

TEST(SaveConfig, WritesExactlyTheRecordInTheStartDirectory) {
  TempDir dir;
  RecordingMessageBoxes boxes;
  SETTINGS s = DefaultSettings();
  std::strcpy(s.szRawFile, "/tmp/raw.bin");
  ASSERT_TRUE(SaveConfig(s, dir.path().string(), boxes));
  EXPECT_EQ(ReadBytes(dir.File(kConfigFileName)), BytesOf(s));
  // Nothing but the configuration file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(SaveConfig, FailureWarnsAndKeepsThePreviousFile) {
#ifdef _WIN32
  const bool permissionsBind = false;  // a read-only directory still takes new files there
#else
  const bool permissionsBind = ::geteuid() != 0;  // root ignores directory permissions
#endif
  if (!permissionsBind) {
    // Use a directory that cannot exist.
    RecordingMessageBoxes boxes;
    EXPECT_FALSE(SaveConfig(DefaultSettings(), "/proc/no-such-dir", boxes));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Can not save onfiguration !");
    EXPECT_EQ(boxes.shown[0].caption, "Quelvane");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::kWarning);
    return;
  }
  TempDir dir;
  const auto previous = RandomBytes(kSettingsSize, 11);
  WriteBytes(dir.File(kConfigFileName), previous);
  ::chmod(dir.path().string().c_str(), 0500);
  RecordingMessageBoxes boxes;
  EXPECT_FALSE(SaveConfig(DefaultSettings(), dir.path().string(), boxes));
  ::chmod(dir.path().string().c_str(), 0700);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Can not save onfiguration !");
  EXPECT_EQ(ReadBytes(dir.File(kConfigFileName)), previous);
}

#ifndef _WIN32
TEST(SaveConfig, WriteFailureKeepsThePreviousFile) {
  // A file-size limit makes every write past 100 bytes fail as a full disk
  // would, for root as well.
  TempDir dir;
  const auto previous = RandomBytes(kSettingsSize, 5);
  WriteBytes(dir.File(kConfigFileName), previous);
  struct rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit tiny = saved;
  tiny.rlim_cur = 100;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
  RecordingMessageBoxes boxes;
  const bool saved_ok = SaveConfig(DefaultSettings(), dir.path().string(), boxes);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(saved_ok);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Can not save onfiguration !");
  EXPECT_EQ(boxes.shown[0].caption, "Quelvane");
  EXPECT_EQ(ReadBytes(dir.File(kConfigFileName)), previous);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}
#endif

TEST(ConfigFilePath, LivesInTheStartDirectory) {
  const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
  EXPECT_EQ(ConfigFilePath("/home/user/work"),
            std::string("/home/user/work") + separator + "Tarnwick.cfg");
  EXPECT_EQ(ConfigFilePath(""), "Tarnwick.cfg");
}

}  // namespace
}  // namespace tarnwick
