// What the version check needs from the world around it: an HTTP client, the
// profile, the main window (the question and the close request), the files
// beside the executable and a clock. The program implements them over
// libcurl, QSettings, Qt and the file system; unit tests use fakes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

struct HttpLimits {
  std::size_t maxBody = 0;  // a longer body fails the request, unless cutBody
  long timeoutSeconds = 0;  // the whole transfer; 0: none
  // Keep the first maxBody bytes and end the transfer there as a success.
  bool cutBody = false;
  // When set, the body goes here piece by piece instead of into the reply;
  // false ends the transfer as a failure.
  std::function<bool(std::string_view)> sink;
};

struct HttpReply {
  long status = 0;
  std::string body;
  // The final response's Content-Length header as sent; absent when it had
  // none, or when it sent several that differ.
  std::optional<std::string> contentLength;
};

class HttpClient {
 public:
  virtual ~HttpClient() = default;
  // A GET of url, read to its end. False for any failure: transport, a status
  // outside 2xx, a body over limits.maxBody, or Cancel().
  virtual bool Get(const std::string& url, const HttpLimits& limits, HttpReply& reply) = 0;
  // From any thread: ends a running Get at once, and every later one.
  virtual void Cancel() = 0;
};

// Integer values of the application's profile, section by section.
class UpdateProfile {
 public:
  virtual ~UpdateProfile() = default;
  virtual std::int32_t GetProfileInt(std::string_view section, std::string_view entry,
                                     std::int32_t defaultValue) = 0;
  virtual void WriteProfileInt(std::string_view section, std::string_view entry,
                               std::int32_t value) = 0;
};

enum class UpdateAnswer { kYes, kNo, kClosed };

// The main window as the check thread reaches it.
class UpdateWindow {
 public:
  virtual ~UpdateWindow() = default;
  // Shows the Yes/No question on the user-interface thread and waits for the
  // answer. kClosed: the program closed (or Cancel came) before an answer.
  virtual UpdateAnswer AskUpdate(std::string_view text, std::string_view caption) = 0;
  // From any thread: ends a waiting AskUpdate with kClosed, and every later one.
  virtual void Cancel() = 0;
  // Asks the user-interface thread to close the main window as Exit does.
  virtual void CloseMainWindow() = 0;
};

// Files in the executable's directory.
class UpdateFiles {
 public:
  virtual ~UpdateFiles() = default;
  // True when files can be created in dir ("" is the current directory).
  virtual bool DirectoryWritable(const std::string& dir) = 0;
  // Nothing half-written ever stands under a final name: files are written
  // under a temporary name in their directory, flushed and renamed.
  // The new executable is written as it arrives: BeginExecutable opens a
  // temporary file in dir, AppendExecutable adds to it, FinishExecutable gives
  // it the permission bits of modelPath (the running executable), makes it
  // durable and renames it to path. DiscardExecutable removes an unfinished
  // one; a failed step has removed it already.
  virtual bool BeginExecutable(const std::string& dir) = 0;
  virtual bool AppendExecutable(std::string_view data) = 0;
  virtual bool FinishExecutable(const std::string& path, const std::string& modelPath) = 0;
  virtual void DiscardExecutable() = 0;
  // The swap script, in one go, readable and runnable by its owner only.
  virtual bool WriteScript(const std::string& path, std::string_view text) = 0;
  // Starts the script in dir, detached and without a window.
  virtual bool StartScript(const std::string& dir, const std::string& name) = 0;
  virtual void Remove(const std::string& path) = 0;
};

// Seconds since 1970-01-01 UTC.
using UpdateClock = std::function<std::int64_t()>;

}  // namespace tarnwick
