#include "transmit/text_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace tarnwick {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

std::string ErrnoText(int error) { return std::generic_category().message(error); }

std::FILE* Open(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
  return ::_wfopen(path.c_str(), mode[0] == 'r' ? L"rb" : L"wb");
#else
  return std::fopen(path.c_str(), mode);
#endif
}

// Flushed to the disk before the rename that makes it the file.
bool WriteAll(std::FILE* file, std::string_view text) {
  if (std::fwrite(text.data(), 1, text.size(), file) != text.size()) return false;
  if (std::fflush(file) != 0) return false;
#ifndef _WIN32
  if (::fsync(::fileno(file)) != 0) return false;
#endif
  return true;
}

}  // namespace

FileText ReadTextFile(const std::filesystem::path& path, std::size_t limit) {
  FileText result;
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) {
    if (error && error != std::errc::no_such_file_or_directory) {
      result.exists = true;
      result.error = error.message();
    }
    return result;
  }
  result.exists = true;
  // A FIFO would block the read, a directory reads nothing.
  if (!std::filesystem::is_regular_file(status)) {
    result.error = "not a regular file";
    return result;
  }
  errno = 0;
  FileHandle file(Open(path, "rb"));
  if (!file) {
    result.error = ErrnoText(errno);
    return result;
  }
  char buffer[16 * 1024];
  for (;;) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    const std::size_t room = limit - result.text.size();
    result.text.append(buffer, got < room ? got : room);
    if (got > room) {
      result.truncated = true;
      break;
    }
    if (got < sizeof buffer) break;
  }
  if (std::ferror(file.get())) result.error = ErrnoText(errno ? errno : EIO);
  return result;
}

std::string ReplaceTextFile(const std::filesystem::path& path, std::string_view text) {
  std::filesystem::path temp = path;
  temp += ".new";
  errno = 0;
  FileHandle file(Open(temp, "wb"));
  if (!file) return ErrnoText(errno);
  const bool written = WriteAll(file.get(), text);
  const int writeError = errno ? errno : EIO;
  const bool closed = std::fclose(file.release()) == 0;
  std::error_code error;
  if (!written || !closed) {
    std::filesystem::remove(temp, error);
    return ErrnoText(writeError);
  }
  std::filesystem::rename(temp, path, error);
  if (error) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    return error.message();
  }
  return {};
}

std::filesystem::path CopyAside(const std::filesystem::path& path, std::string_view suffix,
                                std::string* error) {
  for (int n = 1; n <= 100; ++n) {
    std::filesystem::path target = path;
    target += std::string(suffix) + (n == 1 ? std::string() : "-" + std::to_string(n));
    std::error_code code;
    // copy_file with its default options refuses a target that exists.
    if (std::filesystem::copy_file(path, target, code)) return target;
    if (code != std::errc::file_exists) {
      *error = code.message();
      return {};
    }
  }
  *error = "too many copies are kept beside it already";
  return {};
}

}  // namespace tarnwick
