#include "platform/device_permission.h"

namespace tarnwick {

std::string ShellWord(std::string_view word) {
  const auto plain = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == '@';
  };
  bool quote = word.empty();
  for (const char c : word) quote = quote || !plain(c);
  if (!quote) return std::string(word);
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string GroupAccessAdvice(std::string_view devicePath, std::string_view group,
                              std::string_view user, bool listedInGroup) {
  std::string advice(devicePath);
  advice += " belongs to the group ";
  advice += group;
  if (listedInGroup) {
    // Group lists are read at login: the membership is there, the session lacks it.
    advice += ". ";
    advice += user;
    advice += " was added to it after logging in: log out and log in again.";
    return advice;
  }
  advice += ", which ";
  advice += user;
  advice += " is not in. To join it: sudo usermod -aG ";
  advice += ShellWord(group);
  advice += ' ';
  advice += ShellWord(user);
  advice += ", then log out and log in again.";
  return advice;
}

}  // namespace tarnwick
