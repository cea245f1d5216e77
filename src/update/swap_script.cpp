#include "update/swap_script.h"

namespace tarnwick {

std::string_view UpdaterScriptName() {
#ifdef _WIN32
  return "updater.bat";
#else
  return "updater.sh";
#endif
}

std::string ShellQuote(std::string_view word) {
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted.push_back(c);
    }
  }
  quoted.push_back('\'');
  return quoted;
}

std::string BatchQuote(std::string_view word) {
  std::string quoted = "\"";
  for (char c : word) {
    quoted.push_back(c);
    if (c == '%') quoted.push_back('%');
  }
  quoted.push_back('"');
  return quoted;
}

bool BatchCanHold(std::string_view word) {
  for (const char c : word) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

std::string UpdaterBatchText(std::string_view exeName, std::string_view startDir,
                             std::string_view dir) {
  const std::string name(exeName);
  const std::string upd = "Upd" + name;
  std::string text = ":start\r\n";
  text += "copy  " + BatchQuote(upd) + " " + BatchQuote(name) + "\r\n";
  text += "if not %errorlevel% == 0 goto start\r\n";
  text += "del " + BatchQuote(upd) + "\r\n";
  // start returns at once, so the script can delete itself; /D gives the new
  // program the directory its configuration file lives in.
  text +=
      "start \"\" /D " + BatchQuote(startDir) + " " + BatchQuote(std::string(dir) + name) + "\r\n";
  text += "del " + BatchQuote("updater.bat");
  return text;
}

std::string UpdaterShellText(std::string_view exeName, std::string_view startDir,
                             std::string_view dir, std::int64_t pid) {
  const std::string name(exeName);
  const std::string exe = ShellQuote(std::string(dir) + name);
  const std::string upd = ShellQuote(std::string(dir) + "Upd" + name);
  const std::string self = ShellQuote(std::string(dir) + "updater.sh");
  const std::string id = std::to_string(pid);
  std::string text = "#!/bin/sh\n";
  // A process that has ended but is not yet reaped still answers kill -0; its
  // state in /proc is then Z.
  text += "while kill -0 " + id + " 2>/dev/null; do s=$(cat /proc/" + id +
          "/stat 2>/dev/null) || break; s=${s##*\") \"}; [ \"${s%% *}\" = Z ] && break; sleep 1; "
          "done\n";
  text += "mv -f -- " + upd + " " + exe + "\n";
  text += "rm -f -- " + upd + "\n";
  text += "(cd -- " + ShellQuote(startDir) + " 2>/dev/null || cd -- " + ShellQuote(dir) +
          "; exec " + exe + ") </dev/null >/dev/null 2>&1 &\n";
  text += "rm -f -- " + self + "\n";
  return text;
}

}  // namespace tarnwick
