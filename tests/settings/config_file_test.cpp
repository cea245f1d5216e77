#include "settings/config_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "support/recording_message_boxes.h"
#include "support/temp_dir.h"
#ifndef _WIN32
#include "support/unprivileged.h"
#endif

namespace tarnwick {
namespace {

using testing::RandomBytes;
using testing::ReadBytes;
using testing::RecordingMessageBoxes;
#ifndef _WIN32
using testing::kUnprivilegedId;
using testing::RunUnprivileged;
#endif
using testing::TempDir;
using testing::WriteBytes;

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

// Links, permission bits, owners and read-only entries are POSIX matters.
#ifndef _WIN32
// Names of everything in dir, so a stray temporary file shows.
std::vector<std::string> Entries(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

// What an unprivileged save reports: bit 0 saved, bits 1.. the boxes shown.
int SaveAndEncode(const SETTINGS& settings, const std::string& dir) {
  RecordingMessageBoxes boxes;
  const bool saved = SaveConfig(settings, dir, boxes);
  const bool warned = boxes.shown.size() == 1 &&
                      boxes.shown[0].text == "Can not save onfiguration !" &&
                      boxes.shown[0].caption == "Quelvane";
  return (saved ? 1 : 0) | (static_cast<int>(boxes.shown.size()) << 1) | (warned ? 8 : 0);
}

struct LinkCase {
  const char* name;
  const char* linkText;  // what Tarnwick.cfg points to, relative to the start directory
  const char* target;    // the file that must receive the record
  bool targetExists;
};

void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.name; }

class SaveConfigThroughLink : public ::testing::TestWithParam<LinkCase> {};

TEST_P(SaveConfigThroughLink, ReplacesTheFileTheLinkNamesAndKeepsTheLink) {
  const LinkCase& c = GetParam();
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "conf");
  if (c.targetExists) WriteBytes(dir.File(c.target), RandomBytes(kSettingsSize, 2));
  std::filesystem::create_symlink(c.linkText, dir.path() / kConfigFileName);
  if (std::string(c.name) == "chain")
    std::filesystem::create_symlink("real.cfg", dir.path() / "conf/step");

  SETTINGS s = DefaultSettings();
  s.nBaudIndex = 11;
  RecordingMessageBoxes boxes;
  ASSERT_TRUE(SaveConfig(s, dir.path().string(), boxes));
  EXPECT_TRUE(boxes.shown.empty());
  ASSERT_TRUE(std::filesystem::is_symlink(dir.path() / kConfigFileName));
  EXPECT_EQ(std::filesystem::read_symlink(dir.path() / kConfigFileName), c.linkText);
  EXPECT_FALSE(std::filesystem::is_symlink(dir.File(c.target)));
  EXPECT_EQ(ReadBytes(dir.File(c.target)), BytesOf(s));
  // Loading through the link reads what was saved.
  SETTINGS loaded = DefaultSettings();
  ASSERT_TRUE(LoadConfig(loaded, dir.path().string(), boxes));
  EXPECT_EQ(loaded.nBaudIndex, 11);
  EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{kConfigFileName, "conf"}));
}

INSTANTIATE_TEST_SUITE_P(
    Links, SaveConfigThroughLink,
    ::testing::Values(LinkCase{"relative", "conf/real.cfg", "conf/real.cfg", true},
                      LinkCase{"chain", "conf/step", "conf/real.cfg", true},
                      LinkCase{"dangling", "conf/real.cfg", "conf/real.cfg", false}));

TEST(SaveConfig, AbsoluteLinkIsFollowedToo) {
  TempDir dir, elsewhere;
  const std::string target = elsewhere.File("shared.cfg");
  WriteBytes(target, RandomBytes(kSettingsSize, 4));
  std::filesystem::create_symlink(target, dir.path() / kConfigFileName);
  RecordingMessageBoxes boxes;
  ASSERT_TRUE(SaveConfig(DefaultSettings(), dir.path().string(), boxes));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / kConfigFileName));
  EXPECT_EQ(ReadBytes(target), BytesOf(DefaultSettings()));
  EXPECT_EQ(Entries(elsewhere.path()), (std::vector<std::string>{"shared.cfg"}));
}

// A link in a directory where anyone may plant one is followed only where
// the kernel would follow it.
TEST(SaveConfig, LinksInSharedDirectoriesAreFollowedOnlyAsTheKernelWould) {
  if (::geteuid() != 0) GTEST_SKIP() << "links of other users need root";
  constexpr uid_t kDirOwner = 4321;
  const struct {
    mode_t dirMode;
    uid_t linkOwner;
    bool followed;
  } cases[] = {
      {01777, 0, false},               // another user's link in a sticky shared directory
      {01777, kUnprivilegedId, true},  // the saver's own
      {01777, kDirOwner, true},        // the directory owner's
      {0777, 0, true},                 // not sticky
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.linkOwner + c.dirMode);
    TempDir dir;
    const std::filesystem::path shared = dir.path() / "shared", link = shared / kConfigFileName;
    const std::string target = dir.File("any.cfg");  // one the saver may write
    WriteBytes(target, RandomBytes(kSettingsSize, 31));
    std::filesystem::create_directories(shared);
    std::filesystem::create_symlink(target, link);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777) | ::chmod(target.c_str(), 0666), 0);
    ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);
    ASSERT_EQ(::chown(shared.c_str(), kDirOwner, kDirOwner) | ::chmod(shared.c_str(), c.dirMode),
              0);
    const auto before = ReadBytes(target);
    const int result =
        RunUnprivileged([&] { return SaveAndEncode(DefaultSettings(), shared.string()); });
    EXPECT_EQ(result, c.followed ? 1 : (1 << 1) | 8);
    EXPECT_EQ(ReadBytes(target), c.followed ? BytesOf(DefaultSettings()) : before);
  }
}

TEST(SaveConfig, KeepsPermissionBitsAndOwner) {
  for (mode_t mode : {0600, 0640, 0664, 0604}) {
    SCOPED_TRACE(mode);
    TempDir dir;
    const std::string path = dir.File(kConfigFileName);
    WriteBytes(path, RandomBytes(kSettingsSize, 9));
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    // Only root may give a file away; then the save must give it back.
    const bool foreignOwner = ::geteuid() == 0;
    if (foreignOwner) {
      ASSERT_EQ(::chown(path.c_str(), kUnprivilegedId, kUnprivilegedId), 0);
    }
    RecordingMessageBoxes boxes;
    ASSERT_TRUE(SaveConfig(DefaultSettings(), dir.path().string(), boxes));
    EXPECT_EQ(ReadBytes(path), BytesOf(DefaultSettings()));
    EXPECT_EQ(ModeOf(path), mode);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    if (foreignOwner) {
      EXPECT_EQ(st.st_uid, kUnprivilegedId);
      EXPECT_EQ(st.st_gid, kUnprivilegedId);
    } else {
      EXPECT_EQ(st.st_uid, ::geteuid());
    }
  }
}

TEST(SaveConfig, ReadOnlyFileIsNotReplaced) {
  TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);  // the directory itself is writable
  const std::string path = dir.File(kConfigFileName);
  const auto previous = RandomBytes(kSettingsSize, 13);
  WriteBytes(path, previous);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  const int result =
      RunUnprivileged([&] { return SaveAndEncode(DefaultSettings(), dir.path().string()); });
  EXPECT_EQ(result, (1 << 1) | 8);  // not saved, the one warning box
  EXPECT_EQ(ReadBytes(path), previous);
  EXPECT_EQ(ModeOf(path), 0444u);
  EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{kConfigFileName}));
}

TEST(SaveConfig, WritableFileInReadOnlyDirectoryIsSavedInPlaceOrKeptWhole) {
  // Longer than the record (cut to it), shorter, and shorter where a file-size
  // limit stops the write part way, as a full disk would: then nothing changes.
  for (const auto& [oldSize, sizeLimit] :
       {std::pair<std::size_t, rlim_t>{3000, RLIM_INFINITY}, {100, RLIM_INFINITY}, {100, 1000}}) {
    SCOPED_TRACE(sizeLimit);
    const bool saved = sizeLimit == RLIM_INFINITY;
    TempDir dir;
    const std::string path = dir.File(kConfigFileName);
    const auto previous = RandomBytes(oldSize, 17);
    WriteBytes(path, previous);
    ASSERT_EQ(::chmod(path.c_str(), 0666) | ::chmod(dir.path().c_str(), 0555), 0);
    struct stat before {
    }, after{};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    SETTINGS s = DefaultSettings();
    s.nRows = 42;
    const int result = RunUnprivileged([&, limit = sizeLimit] {
      // Runs in this process when it is not root: everything is put back.
      auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
      struct rlimit old {
      }, tight{};
      ::getrlimit(RLIMIT_FSIZE, &old);
      tight = {limit, old.rlim_max};
      const int encoded =
          ::setrlimit(RLIMIT_FSIZE, &tight) == 0 ? SaveAndEncode(s, dir.path().string()) : 100;
      ::setrlimit(RLIMIT_FSIZE, &old);
      std::signal(SIGXFSZ, oldHandler);
      return encoded;
    });
    ::chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(result, saved ? 1 : (1 << 1) | 8);
    EXPECT_EQ(ReadBytes(path), saved ? BytesOf(s) : previous);
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(ModeOf(path), 0666u);
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{kConfigFileName}));
  }
}

TEST(SaveConfig, ReadOnlyDirectoryWithoutTheFileWarns) {
  TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
  const int result =
      RunUnprivileged([&] { return SaveAndEncode(DefaultSettings(), dir.path().string()); });
  ::chmod(dir.path().c_str(), 0700);
  EXPECT_EQ(result, (1 << 1) | 8);
  EXPECT_TRUE(Entries(dir.path()).empty());
}

TEST(SaveConfig, LeftoverTemporaryIsIgnoredAndRemovedByTheNextSave) {
  TempDir dir;
  const auto current = RandomBytes(kSettingsSize, 21);
  WriteBytes(dir.File(kConfigFileName), current);
  // A save cut short by a crash of process 999999999 (beyond any pid), one of
  // a process that still runs (pid 1), and names that only look alike.
  const std::vector<std::string> others = {"Tarnwick.cfg.1.0.tmp", "Tarnwick.cfg.bak",
                                           "Tarnwick.cfg.12.x.tmp", "other.999999999.0.tmp"};
  WriteBytes(dir.File("Tarnwick.cfg.999999999.0.tmp"), RandomBytes(100, 1));
  for (const auto& name : others) WriteBytes(dir.File(name), {1, 2, 3});

  RecordingMessageBoxes boxes;
  SETTINGS s = DefaultSettings();
  ASSERT_TRUE(LoadConfig(s, dir.path().string(), boxes));
  EXPECT_EQ(BytesOf(s), current);
  ASSERT_TRUE(SaveConfig(s, dir.path().string(), boxes));
  auto expected = others;
  expected.push_back(kConfigFileName);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Entries(dir.path()), expected);
  EXPECT_EQ(ReadBytes(dir.File(kConfigFileName)), current);
}
#endif  // _WIN32

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
