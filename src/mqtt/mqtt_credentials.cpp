#include "mqtt/mqtt_credentials.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/error_text.h"

namespace tarnwick {

namespace {

// A password longer than this is no password but the wrong file.
constexpr off_t kMaxPasswordFile = 4096;

bool Refuse(std::string* error, std::string text) {
  *error = std::move(text);
  return false;
}

// The first line of the file, once the file has shown that only this user
// can see it. The checks are made on the open descriptor, so the file
// cannot be swapped between the check and the read.
bool ReadPasswordFile(const std::string& path, std::string* password, std::string* error) {
  const std::string named = "the password file " + path;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return Refuse(error, named + " cannot be opened: " + SystemErrorText(errno));
  struct stat info {};
  std::string problem;
  if (::fstat(fd, &info) != 0) {
    problem = named + " cannot be examined: " + SystemErrorText(errno);
  } else if (!S_ISREG(info.st_mode)) {
    problem = named + " is not a regular file";
  } else if (info.st_uid != ::geteuid()) {
    problem = named + " does not belong to you";
  } else if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    problem = named + " may be read or changed by others: chmod 600 " + path;
  } else if (info.st_size > kMaxPasswordFile) {
    problem = named + " is too large to hold a password";
  }
  std::string content;
  if (problem.empty()) {
    char buffer[kMaxPasswordFile + 1];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) problem = named + " cannot be read: " + SystemErrorText(errno);
      if (n > 0) content.assign(buffer, static_cast<std::size_t>(n));
      break;
    }
  }
  ::close(fd);
  if (!problem.empty()) return Refuse(error, problem);
  // One line; its end is not part of the password.
  if (const std::size_t end = content.find_first_of("\r\n"); end != std::string::npos)
    content.resize(end);
  if (content.empty()) return Refuse(error, named + " is empty");
  *password = std::move(content);
  return true;
}

}  // namespace

bool ReadMqttPassword(const MqttUrl& url, std::string* password, std::string* error) {
  password->clear();
  const char* value = ::getenv(kMqttPasswordVariable);
  const char* file = ::getenv(kMqttPasswordFileVariable);
  if (value != nullptr && *value == '\0') value = nullptr;
  if (file != nullptr && *file == '\0') file = nullptr;
  if (value != nullptr && file != nullptr) {
    return Refuse(error, std::string("set ") + kMqttPasswordVariable + " or " +
                             kMqttPasswordFileVariable + ", not both");
  }
  if (value == nullptr && file == nullptr) return true;
  if (url.strUser.empty()) {
    return Refuse(error, "a password needs a user name: " +
                             std::string(url.bTls ? "mqtts" : "mqtt") + "://USER@HOST/PREFIX");
  }
  if (value != nullptr) {
    *password = value;
    return true;
  }
  return ReadPasswordFile(file, password, error);
}

}  // namespace tarnwick
