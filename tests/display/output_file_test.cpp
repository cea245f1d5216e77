// The append-only log file on real files.
#include "display/output_file.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <chrono>

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

#ifndef _WIN32
// A FIFO log whose reader is slower than the line: a call waits as long as its
// bytes took on the line; what is left then fails it, reported, never quietly.
TEST(OutputFile, AFifoWithASlowReaderGetsEveryByteOrAReportedFailure) {
  using std::chrono::microseconds;
  for (const auto& [perByte, reads] : {std::pair{microseconds(1000), true},   // slow reader
                                       std::pair{microseconds(1), false}}) {  // stopped reader
    TempDir dir;
    const std::string path = dir.File("log.fifo");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_EQ(::fcntl(reader, F_SETFL, 0), 0);  // blocking reads from here on
    LogFailures failures;
    OutputFile log;
    log.SetReporter(&failures, LogKind::kRaw);
    log.SetWaitPerByte(perByte);
    ASSERT_TRUE(log.Touch(path.c_str()));  // a FIFO without a writer reads as ended
    Bytes received, sent(4 * 65536);
    std::thread drain([&, reads = reads] {
      unsigned char buffer[4096];
      for (ssize_t got; reads && (got = ::read(reader, buffer, sizeof buffer)) > 0;) {
        received.insert(received.end(), buffer, buffer + got);
        std::this_thread::sleep_for(microseconds(200));
      }
    });
    for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<unsigned char>(i * 7);
    bool allWritten = true;
    for (std::size_t at = 0; at < sent.size(); at += 65536)
      allWritten = log.Append(path.c_str(), sent.data() + at, 65536) && allWritten;
    const std::vector<LogFailures::Failure> failing = failures.Current();
    log.Close();
    drain.join();
    ::close(reader);
    EXPECT_EQ(allWritten, reads);
    EXPECT_EQ(received, reads ? sent : Bytes());
    using Failures = std::vector<LogFailures::Failure>;
    const Failures expected =
        reads ? Failures{} : Failures{LogFailures::Failure{LogKind::kRaw, path, EAGAIN}};
    EXPECT_EQ(failing, expected);
  }
}
#endif

}  // namespace
}  // namespace tarnwick
