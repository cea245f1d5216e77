// Recording fakes of the version check's surroundings, for tests of the
// check's decisions without a network, a window or a disk.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "update/update_interfaces.h"
#include "update/update_rules.h"

namespace tarnwick::testing {

// Answers from a table of URLs; an URL marked blocking waits until Cancel().
class FakeHttp : public HttpClient {
 public:
  bool Get(const std::string& url, const HttpLimits& limits, HttpReply& reply) override {
    std::unique_lock<std::mutex> lock(mutex);
    requests.push_back(url);
    limitsSeen.push_back(limits);
    if (url == blockingUrl) {
      blocked = true;
      changed.notify_all();
      changed.wait(lock, [this] { return cancelled; });
    }
    if (cancelled) return false;
    const auto found = replies.find(url);
    if (found == replies.end()) return false;
    reply = found->second;
    if (limits.sink) {
      const bool taken = limits.sink(reply.body);
      reply.body.clear();
      return taken;
    }
    return true;
  }
  void Cancel() override {
    const std::lock_guard<std::mutex> lock(mutex);
    cancelled = true;
    changed.notify_all();
  }
  void WaitUntilBlocked() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return blocked; });
  }
  // A reply with a correct length header.
  void Serve(const std::string& url, const std::string& body) {
    replies[url] = HttpReply{200, body, std::to_string(body.size())};
  }

  std::map<std::string, HttpReply> replies;
  std::string blockingUrl;
  std::vector<std::string> requests;
  std::vector<HttpLimits> limitsSeen;

 private:
  std::mutex mutex;
  std::condition_variable changed;
  bool blocked = false;
  bool cancelled = false;
};

// The first bytes of an executable that runs here, then filler.
inline std::string OwnKindOfExecutable(std::size_t size = 300) {
  const ExecutableSignature own = OwnExecutableSignature();
  std::string bytes(size, '\0');
  bytes.replace(0, own.prefix.size(), own.prefix);
  if (!own.machine.empty()) bytes.replace(own.machineOffset, own.machine.size(), own.machine);
  return bytes;
}

class FakeProfile : public UpdateProfile {
 public:
  std::int32_t GetProfileInt(std::string_view section, std::string_view entry,
                             std::int32_t defaultValue) override {
    const auto found = values.find(Key(section, entry));
    return found == values.end() ? defaultValue : found->second;
  }
  void WriteProfileInt(std::string_view section, std::string_view entry,
                       std::int32_t value) override {
    values[Key(section, entry)] = value;
    writes.push_back(Key(section, entry));
  }
  static std::string Key(std::string_view section, std::string_view entry) {
    return std::string(section) + "/" + std::string(entry);
  }

  std::map<std::string, std::int32_t> values;
  std::vector<std::string> writes;
};

// Answers the question with answer; blockQuestion waits until Cancel().
class FakeWindow : public UpdateWindow {
 public:
  UpdateAnswer AskUpdate(std::string_view text, std::string_view caption) override {
    std::unique_lock<std::mutex> lock(mutex);
    questions.push_back({std::string(text), std::string(caption)});
    if (blockQuestion) changed.wait(lock, [this] { return cancelled; });
    return cancelled ? UpdateAnswer::kClosed : answer;
  }
  void Cancel() override {
    const std::lock_guard<std::mutex> lock(mutex);
    cancelled = true;
    changed.notify_all();
  }
  void CloseMainWindow() override { ++closeRequests; }
  std::size_t Asked() {
    const std::lock_guard<std::mutex> lock(mutex);
    return questions.size();
  }

  UpdateAnswer answer = UpdateAnswer::kYes;
  bool blockQuestion = false;
  std::vector<std::pair<std::string, std::string>> questions;
  int closeRequests = 0;

 private:
  std::mutex mutex;
  std::condition_variable changed;
  bool cancelled = false;
};

class FakeFiles : public UpdateFiles {
 public:
  bool DirectoryWritable(const std::string&) override { return writable; }
  bool BeginExecutable(const std::string&) override {
    pending = std::string();
    return true;
  }
  bool AppendExecutable(std::string_view data) override {
    if (!pending) return false;
    pending->append(data);
    return true;
  }
  bool FinishExecutable(const std::string& path, const std::string& modelPath) override {
    if (onFinish) onFinish();
    if (!pending) return false;
    const std::string data = *std::exchange(pending, std::nullopt);
    if (!executableWorks) return false;
    files[path] = data;
    executableModel = modelPath;
    return true;
  }
  void DiscardExecutable() override { pending.reset(); }
  bool WriteScript(const std::string& path, std::string_view text) override {
    if (!scriptWorks) return false;
    files[path] = std::string(text);
    return true;
  }
  bool StartScript(const std::string& dir, const std::string& name) override {
    if (!startWorks) return false;
    started.push_back(dir + name);
    return true;
  }
  void Remove(const std::string& path) override { files.erase(path); }

  bool writable = true;
  bool executableWorks = true;
  bool scriptWorks = true;
  bool startWorks = true;
  std::map<std::string, std::string> files;
  std::string executableModel;
  std::optional<std::string> pending;  // the unfinished executable
  std::function<void()> onFinish;
  std::vector<std::string> started;
};

}  // namespace tarnwick::testing
