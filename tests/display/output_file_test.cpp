// The append-only log file on real files.
#include "display/output_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;
using Bytes = std::vector<unsigned char>;

TEST(OutputFile, GrowsByteByByteAndEachByteIsReadableAtOnce) {
  TempDir dir;
  const std::string path = dir.File("raw.bin");
  OutputFile file;
  Bytes expected;
  for (int i = 0; i < 300; ++i) {
    const std::uint8_t b = static_cast<std::uint8_t>(i * 7);
    ASSERT_TRUE(file.Append(path.c_str(), &b, 1));
    expected.push_back(b);
    // Another reader opens the file meanwhile and sees everything so far.
    ASSERT_EQ(ReadBytes(path), expected) << "after byte " << i;
  }
  EXPECT_TRUE(file.IsOpen());
}

TEST(OutputFile, NeverTruncatesWhatTheFileHeld) {
  TempDir dir;
  const std::string path = dir.File("log");
  WriteBytes(path, Bytes(100, 'x'));
  OutputFile file;
  const std::uint8_t b = 'y';
  ASSERT_TRUE(file.Append(path.c_str(), &b, 1));
  Bytes expected(100, 'x');
  expected.push_back('y');
  EXPECT_EQ(ReadBytes(path), expected);
}

TEST(OutputFile, AppendsAfterWhatAnotherWriterAddedMeanwhile) {
  TempDir dir;
  const std::string path = dir.File("log");
  OutputFile file;
  const std::uint8_t a[] = {'a', 'b'};
  ASSERT_TRUE(file.Append(path.c_str(), a, 2));
  {
    std::ofstream other(path, std::ios::binary | std::ios::app);
    other << "OTHER";
  }
  ASSERT_TRUE(file.Append(path.c_str(), a, 2));
  const Bytes expected = {'a', 'b', 'O', 'T', 'H', 'E', 'R', 'a', 'b'};
  EXPECT_EQ(ReadBytes(path), expected);
}

TEST(OutputFile, EmptyAppendAndTouchCreateTheFile) {
  TempDir dir;
  OutputFile file;
  EXPECT_TRUE(file.Append(dir.File("a").c_str(), nullptr, 0));
  EXPECT_TRUE(std::filesystem::exists(dir.File("a")));
  EXPECT_EQ(std::filesystem::file_size(dir.File("a")), 0u);
  EXPECT_TRUE(file.Touch(dir.File("b").c_str()));
  EXPECT_TRUE(std::filesystem::exists(dir.File("b")));
}

TEST(OutputFile, FollowsAPathChange) {
  TempDir dir;
  OutputFile file;
  const std::uint8_t one = '1', two = '2';
  ASSERT_TRUE(file.Append(dir.File("first").c_str(), &one, 1));
  ASSERT_TRUE(file.Append(dir.File("second").c_str(), &two, 1));
  ASSERT_TRUE(file.Append(dir.File("first").c_str(), &one, 1));
  EXPECT_EQ(ReadBytes(dir.File("first")), (Bytes{'1', '1'}));
  EXPECT_EQ(ReadBytes(dir.File("second")), (Bytes{'2'}));
}

#ifndef _WIN32
// Windows refuses to delete a file that is open.
TEST(OutputFile, RecreatesALogDeletedWhileOpen) {
  TempDir dir;
  const std::string path = dir.File("log");
  OutputFile file;
  const std::uint8_t a = 'a', b = 'b';
  ASSERT_TRUE(file.Append(path.c_str(), &a, 1));
  std::filesystem::remove(path);
  std::this_thread::sleep_for(OutputFile::kPathCheckInterval + std::chrono::milliseconds(5));
  ASSERT_TRUE(file.Append(path.c_str(), &b, 1));
  EXPECT_EQ(ReadBytes(path), (Bytes{'b'}));
}
#endif

TEST(OutputFile, LargeBlockArrivesWhole) {
  TempDir dir;
  const std::string path = dir.File("log");
  Bytes block(3 << 20);
  for (std::size_t i = 0; i < block.size(); ++i)
    block[i] = static_cast<unsigned char>(i ^ (i >> 9));
  OutputFile file;
  ASSERT_TRUE(file.Append(path.c_str(), block.data(), block.size()));
  EXPECT_EQ(ReadBytes(path), block);
}

class UnopenablePath : public ::testing::TestWithParam<const char*> {};

TEST_P(UnopenablePath, WritesNothingReportsFalseAndRetriesNextCall) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("folder"));
  const std::string param = GetParam();
  const std::string path = param.empty() ? std::string() : dir.File(param);
  OutputFile file;
  const std::uint8_t b = 'z';
  EXPECT_FALSE(file.Append(path.c_str(), &b, 1));
  EXPECT_FALSE(file.Append(path.c_str(), nullptr, 0));
  EXPECT_FALSE(file.Touch(path.c_str()));
  EXPECT_FALSE(file.IsOpen());
  if (param == std::string("missing/log")) {
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
    std::filesystem::create_directory(dir.File("missing"));
    EXPECT_TRUE(file.Append(path.c_str(), &b, 1));
    EXPECT_EQ(ReadBytes(path), (Bytes{'z'}));
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, UnopenablePath, ::testing::Values("", "missing/log", "folder"));

TEST(OutputFile, NullPathIsUnopenable) {
  OutputFile file;
  const std::uint8_t b = 'z';
  EXPECT_FALSE(file.Append(static_cast<const char*>(nullptr), &b, 1));
}

TEST(OutputFile, ReadOnlyFileIsUnopenable) {
  TempDir dir;
  const std::string path = dir.File("readonly");
  WriteBytes(path, Bytes{'r'});
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  // Root, and Wine run by root, may write to any file.
  if (std::ofstream(path, std::ios::app)) GTEST_SKIP() << "this user may write to read-only files";
  OutputFile file;
  const std::uint8_t b = 'z';
  EXPECT_FALSE(file.Append(path.c_str(), &b, 1));
  EXPECT_EQ(ReadBytes(path), (Bytes{'r'}));
}

TEST(OutputFile, FailedWriteClosesSoTheNextCallReopens) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  OutputFile file;
  const std::uint8_t b = 'z';
  EXPECT_FALSE(file.Append("/dev/full", &b, 1));
  EXPECT_FALSE(file.IsOpen());
  TempDir dir;
  EXPECT_TRUE(file.Append(dir.File("ok").c_str(), &b, 1));
}

}  // namespace
}  // namespace tarnwick
