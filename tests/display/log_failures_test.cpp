// Kept-open logs on real files: they follow their path when the file is
// renamed or rotated away, and report when they cannot be written and when
// they can again.
#include "display/log_failures.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "display/output_file.h"
#include "display/screen_model.h"
#ifndef _WIN32
#include "support/file_limits.h"
#endif
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;
using Bytes = std::vector<unsigned char>;
using Failure = LogFailures::Failure;

bool AppendText(OutputFile& file, const std::string& path, const std::string& text) {
  return file.Append(path.c_str(), reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// Open files that move, full disks and descriptors are POSIX matters here.
#ifndef _WIN32
using testing::DescriptorsOpenOn;
using testing::ScopedFileSizeLimit;

std::string FileText(const std::string& path) {
  const auto bytes = ReadBytes(path);
  return {bytes.begin(), bytes.end()};
}

struct MoveCase {
  const char* name;
  // What happens to the log at path while it is held open.
  std::function<void(const std::string& path)> move;
  std::string oldContent;  // then in path + ".1"
  std::string newContent;  // then at path
};

void PrintTo(const MoveCase& c, std::ostream* os) { *os << c.name; }

class LogMovedAway : public ::testing::TestWithParam<MoveCase> {};

TEST_P(LogMovedAway, NextWriteGoesToTheConfiguredPath) {
  const MoveCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.File("raw.log");
  OutputFile file;
  ASSERT_TRUE(AppendText(file, path, "old"));
  c.move(path);
  // The first write after a pause looks whether the path still names the file.
  std::this_thread::sleep_for(OutputFile::kPathCheckInterval + std::chrono::milliseconds(5));
  ASSERT_TRUE(AppendText(file, path, "new"));
  EXPECT_EQ(FileText(path + ".1"), c.oldContent);
  EXPECT_EQ(FileText(path), c.newContent);
  // The moved file is no longer held.
  EXPECT_EQ(DescriptorsOpenOn(path + ".1"), 0);
  EXPECT_EQ(DescriptorsOpenOn(path), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Moves, LogMovedAway,
    ::testing::Values(
        // mv raw.log raw.log.1
        MoveCase{"renamed", [](const std::string& p) { std::filesystem::rename(p, p + ".1"); },
                 "old", "new"},
        // logrotate's "create": rename, then a fresh empty file at the path
        MoveCase{"rotated",
                 [](const std::string& p) {
                   std::filesystem::rename(p, p + ".1");
                   WriteBytes(p, {});
                 },
                 "old", "new"},
        // another program put a file of its own in place
        MoveCase{"replaced",
                 [](const std::string& p) {
                   WriteBytes(p + ".tmp", {'x'});
                   std::filesystem::rename(p, p + ".1");
                   std::filesystem::rename(p + ".tmp", p);
                 },
                 "old", "xnew"}));
#endif  // _WIN32

TEST(LogFailures, ReportsOnlyChangesAndListsTheFailingLogs) {
  LogFailures failures;
  int told = 0;
  failures.SetListener([&] { ++told; });
  const struct {
    LogKind kind;
    const char* path;
    int error;
    int toldAfter;
    std::vector<Failure> current;
  } steps[] = {
      {LogKind::kRaw, "/a", 0, 0, {}},
      {LogKind::kRaw, "/a", ENOSPC, 1, {{LogKind::kRaw, "/a", ENOSPC}}},
      {LogKind::kRaw, "/a", ENOSPC, 1, {{LogKind::kRaw, "/a", ENOSPC}}},
      {LogKind::kText,
       "/t",
       EACCES,
       2,
       {{LogKind::kRaw, "/a", ENOSPC}, {LogKind::kText, "/t", EACCES}}},
      {LogKind::kRaw,
       "/a",
       EFBIG,
       3,
       {{LogKind::kRaw, "/a", EFBIG}, {LogKind::kText, "/t", EACCES}}},
      {LogKind::kRaw,
       "/b",
       EFBIG,
       4,
       {{LogKind::kRaw, "/b", EFBIG}, {LogKind::kText, "/t", EACCES}}},
      {LogKind::kRaw, "/b", 0, 5, {{LogKind::kText, "/t", EACCES}}},
      {LogKind::kRaw, "/b", 0, 5, {{LogKind::kText, "/t", EACCES}}},
      {LogKind::kText, "/t", 0, 6, {}},
  };
  for (const auto& step : steps) {
    failures.Report(step.kind, step.path, step.error);
    EXPECT_EQ(told, step.toldAfter) << step.path << " " << step.error;
    EXPECT_EQ(failures.Current(), step.current) << step.path << " " << step.error;
  }
  failures.SetListener({});
  failures.Report(LogKind::kRaw, "/c", EIO);
  EXPECT_EQ(told, 6);
}

TEST(LogFailures, OutputFileReportsFailureAndRecovery) {
  TempDir dir;
  LogFailures failures;
  OutputFile file;
  file.SetReporter(&failures, LogKind::kText);
  const std::string path = dir.File("missing/text.log");
  EXPECT_FALSE(AppendText(file, path, "a"));
  EXPECT_EQ(file.LastError(), ENOENT);
  EXPECT_EQ(failures.Current(), (std::vector<Failure>{{LogKind::kText, path, ENOENT}}));
  std::filesystem::create_directory(dir.File("missing"));
  EXPECT_TRUE(AppendText(file, path, "b"));
  EXPECT_EQ(file.LastError(), 0);
  EXPECT_TRUE(failures.Current().empty());
  // An empty path, and a flag that goes off: Close ends the failure.
  EXPECT_FALSE(AppendText(file, "", "c"));
  EXPECT_EQ(failures.Current(), (std::vector<Failure>{{LogKind::kText, "", ENOENT}}));
  file.Close();
  EXPECT_TRUE(failures.Current().empty());
}

#ifndef _WIN32
TEST(LogFailures, FullFileSystemAppearsAndClears) {
  TempDir dir;
  const std::string path = dir.File("raw.log");
  LogFailures failures;
  OutputFile file;
  file.SetReporter(&failures, LogKind::kRaw);
  ASSERT_TRUE(AppendText(file, path, std::string(100, 'a')));
  {
    ScopedFileSizeLimit limit(150);
    ASSERT_TRUE(limit.ok());
    EXPECT_TRUE(AppendText(file, path, std::string(50, 'b')));
    EXPECT_FALSE(AppendText(file, path, "c"));
    EXPECT_EQ(failures.Current(), (std::vector<Failure>{{LogKind::kRaw, path, EFBIG}}));
    EXPECT_FALSE(AppendText(file, path, "d"));
  }
  EXPECT_TRUE(AppendText(file, path, "e"));
  EXPECT_TRUE(failures.Current().empty());
  EXPECT_EQ(FileText(path), std::string(100, 'a') + std::string(50, 'b') + "e");
}

TEST(TextLogFlag, SwitchedOffClosesTheFile) {
  TempDir dir;
  const std::string path = dir.File("text.log");
  SETTINGS settings = DefaultSettings();
  settings.nColumns = 1;  // TEXT, one character per line
  settings.bSaveText = 1;
  std::snprintf(settings.szTextFile, sizeof settings.szTextFile, "%s", path.c_str());
  LiveSettings live(settings);
  ScreenModel model(live, nullptr);
  for (std::uint8_t b : {'a', 'b', 'c'}) model.AddReceivedByte(b);
  EXPECT_EQ(FileText(path), "ab");
  EXPECT_EQ(DescriptorsOpenOn(path), 1);

  settings.bSaveText = 0;
  live.Publish();
  model.AddReceivedByte('d');
  EXPECT_EQ(DescriptorsOpenOn(path), 0);
  EXPECT_EQ(FileText(path), "ab");
}
#endif  // _WIN32

}  // namespace
}  // namespace tarnwick
