#include "update/update_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

std::size_t EntriesIn(const std::filesystem::path& dir) {
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++entries;
  return entries;
}

TEST(PlatformUpdateFiles, TheNewExecutableTakesTheRunningOnesPermissionBits) {
  TempDir dir;
  const std::string model = dir.File("tarnwick");
  WriteBytes(model, {1});
  PlatformUpdateFiles files;
  for (const mode_t mode : {mode_t{0755}, mode_t{0710}, mode_t{04750}}) {
    ASSERT_EQ(::chmod(model.c_str(), mode), 0);
    ASSERT_TRUE(files.BeginExecutable(dir.path().string() + "/"));
    // Larger than one piece of the writer.
    const std::string body =
        "\x7F"
        "ELF" +
        std::string(200000, 'x');
    ASSERT_TRUE(files.AppendExecutable(body.substr(0, 3)));
    ASSERT_TRUE(files.AppendExecutable(body.substr(3)));
    ASSERT_TRUE(files.FinishExecutable(dir.File("Updtarnwick"), model));
    EXPECT_EQ(ModeOf(dir.File("Updtarnwick")), mode & 0777) << std::oct << mode;
    const std::vector<unsigned char> expected(body.begin(), body.end());
    EXPECT_EQ(ReadBytes(dir.File("Updtarnwick")), expected);
  }
  // No temporary file is left beside them.
  EXPECT_EQ(EntriesIn(dir.path()), 2u);
}

TEST(PlatformUpdateFiles, AFailedOrDiscardedWriteLeavesNothingUnderAnyName) {
  TempDir dir;
  const std::string prefix = dir.path().string() + "/";
  WriteBytes(dir.File("tarnwick"), {1});
  PlatformUpdateFiles files;
  // No model to take the bits from.
  ASSERT_TRUE(files.BeginExecutable(prefix));
  ASSERT_TRUE(files.AppendExecutable("data"));
  EXPECT_FALSE(files.FinishExecutable(dir.File("Updx"), dir.File("missing")));
  // A directory stands where the file would go: the rename fails.
  std::filesystem::create_directory(dir.path() / "Updtarnwick");
  ASSERT_TRUE(files.BeginExecutable(prefix));
  EXPECT_FALSE(files.FinishExecutable(dir.File("Updtarnwick"), dir.File("tarnwick")));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "Updtarnwick"));
  // Given up half way.
  ASSERT_TRUE(files.BeginExecutable(prefix));
  ASSERT_TRUE(files.AppendExecutable("data"));
  files.DiscardExecutable();
  EXPECT_FALSE(files.AppendExecutable("more"));
  EXPECT_EQ(EntriesIn(dir.path()), 2u);
  EXPECT_FALSE(files.BeginExecutable(dir.File("no/such/dir") + "/"));
  EXPECT_FALSE(files.WriteScript(dir.File("no/such/dir/updater.sh"), "text"));
}

TEST(PlatformUpdateFiles, TheScriptIsTheOwnersOnlyAndReplacesAnOldOne) {
  TempDir dir;
  PlatformUpdateFiles files;
  WriteBytes(dir.File("updater.sh"), {'o', 'l', 'd', ' ', 'o', 'n', 'e'});
  ASSERT_TRUE(files.WriteScript(dir.File("updater.sh"), "new"));
  EXPECT_EQ(ReadBytes(dir.File("updater.sh")), (std::vector<unsigned char>{'n', 'e', 'w'}));
  EXPECT_EQ(ModeOf(dir.File("updater.sh")), 0700u);
  files.Remove(dir.File("updater.sh"));
  EXPECT_EQ(EntriesIn(dir.path()), 0u);
}

TEST(PlatformUpdateFiles, WritableDirectories) {
  TempDir dir;
  PlatformUpdateFiles files;
  EXPECT_TRUE(files.DirectoryWritable(dir.path().string() + "/"));
  EXPECT_FALSE(files.DirectoryWritable(dir.File("missing") + "/"));
  if (::geteuid() != 0) {  // root writes anywhere
    std::filesystem::create_directory(dir.path() / "ro");
    ::chmod(dir.File("ro").c_str(), 0555);
    EXPECT_FALSE(files.DirectoryWritable(dir.File("ro") + "/"));
  }
}

}  // namespace
}  // namespace tarnwick
