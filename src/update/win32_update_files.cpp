#include <windows.h>

#include <string>

#include "update/update_files.h"

namespace tarnwick {
namespace {

std::string DirectoryOf(const std::string& path) {
  const std::size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

// Temporary file, data, flush, then one replacing move; on any failure the
// temporary file goes and path is untouched.
bool WriteFileAtomically(const std::string& path, std::string_view data) {
  const std::string temp =
      DirectoryOf(path) + "~tarnwick-update-" + std::to_string(::GetCurrentProcessId()) + ".tmp";
  HANDLE file = ::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  while (ok && !data.empty()) {
    const DWORD chunk = data.size() > 0x100000 ? 0x100000 : static_cast<DWORD>(data.size());
    DWORD written = 0;
    ok = ::WriteFile(file, data.data(), chunk, &written, nullptr) && written == chunk;
    data.remove_prefix(chunk);
  }
  ok = ok && ::FlushFileBuffers(file);
  ok = ::CloseHandle(file) && ok;
  if (ok) {
    ok = ::MoveFileExA(temp.c_str(), path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  }
  if (!ok) ::DeleteFileA(temp.c_str());
  return ok;
}

}  // namespace

bool PlatformUpdateFiles::DirectoryWritable(const std::string& dir) {
  const std::string probe = dir + "~tarnwick-probe-" + std::to_string(::GetCurrentProcessId());
  HANDLE file = ::CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(file);
  return true;
}

PlatformUpdateFiles::~PlatformUpdateFiles() { DiscardExecutable(); }

bool PlatformUpdateFiles::BeginExecutable(const std::string& dir) {
  DiscardExecutable();
  m_strTempPath = dir + "~tarnwick-download-" + std::to_string(::GetCurrentProcessId()) + ".tmp";
  HANDLE file = ::CreateFileA(m_strTempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    m_strTempPath.clear();
    return false;
  }
  m_hTemp = file;
  return true;
}

bool PlatformUpdateFiles::AppendExecutable(std::string_view data) {
  if (m_hTemp == nullptr) return false;
  while (!data.empty()) {
    const DWORD chunk = data.size() > 0x10000 ? 0x10000 : static_cast<DWORD>(data.size());
    DWORD written = 0;
    if (!::WriteFile(static_cast<HANDLE>(m_hTemp), data.data(), chunk, &written, nullptr) ||
        written != chunk) {
      DiscardExecutable();
      return false;
    }
    data.remove_prefix(chunk);
  }
  return true;
}

bool PlatformUpdateFiles::FinishExecutable(const std::string& path, const std::string& modelPath) {
  if (m_hTemp == nullptr) return false;
  // Windows files carry no permission bits; the model must exist all the same.
  bool ok = ::GetFileAttributesA(modelPath.c_str()) != INVALID_FILE_ATTRIBUTES &&
            ::FlushFileBuffers(static_cast<HANDLE>(m_hTemp));
  ok = ::CloseHandle(static_cast<HANDLE>(m_hTemp)) && ok;
  m_hTemp = nullptr;
  if (ok) {
    ok = ::MoveFileExA(m_strTempPath.c_str(), path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  }
  if (!ok) ::DeleteFileA(m_strTempPath.c_str());
  m_strTempPath.clear();
  return ok;
}

void PlatformUpdateFiles::DiscardExecutable() {
  if (m_hTemp == nullptr) return;
  ::CloseHandle(static_cast<HANDLE>(m_hTemp));
  m_hTemp = nullptr;
  ::DeleteFileA(m_strTempPath.c_str());
  m_strTempPath.clear();
}

bool PlatformUpdateFiles::WriteScript(const std::string& path, std::string_view text) {
  return WriteFileAtomically(path, text);
}

bool PlatformUpdateFiles::StartScript(const std::string& dir, const std::string& name) {
  // The script is named relative to its working directory: a path on cmd's
  // command line would have its % signs expanded.
  std::string command = "cmd.exe /d /c \"" + name + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        dir.empty() ? nullptr : dir.c_str(), &startup, &process)) {
    return false;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return true;
}

void PlatformUpdateFiles::Remove(const std::string& path) { ::DeleteFileA(path.c_str()); }

std::int64_t CurrentProcessId() { return static_cast<std::int64_t>(::GetCurrentProcessId()); }

}  // namespace tarnwick
