#include "frames/frames_csv_writer.h"

#include <sys/stat.h>

#include <cstdint>

#include "frames/frames_csv.h"

namespace tarnwick {
namespace {

// Whether rows are already there: a regular file with something in it.
bool HoldsRows(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  return (st.st_mode & S_IFMT) == S_IFREG && st.st_size > 0;
}

}  // namespace

std::string FramesCsvWriter::TargetOf(std::string_view path) {
  if (path != "-") return std::string(path);
#ifdef _WIN32
  return "CONOUT$";
#else
  // Opened anew, not fd 1 itself: the writer's non-blocking mode stays its
  // own, and a pipe or file behind it is written as a log would be.
  return "/dev/stdout";
#endif
}

void FramesCsvWriter::SetPath(std::string_view path) {
  if (path == m_strPath) return;
  m_strPath = std::string(path);
  m_strTarget = TargetOf(path);
  m_file.Close();
  m_bHeaderDue = !m_strPath.empty() && !HoldsRows(m_strTarget);
}

bool FramesCsvWriter::Write(std::string_view rows) {
  if (m_strTarget.empty() || rows.empty()) return true;
  std::string_view text = rows;
  if (m_bHeaderDue) {
    m_text.assign(FramesCsvHeader());
    m_text.append(rows);
    text = m_text;
  }
  const bool written =
      m_file.Append(std::string_view(m_strTarget),
                    reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  if (written) m_bHeaderDue = false;
  return written;
}

}  // namespace tarnwick
