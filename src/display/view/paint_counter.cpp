#include "display/view/paint_counter.h"

#include <QSysInfo>

namespace tarnwick {

PaintCounter::PaintCounter() {
  const QString path = qEnvironmentVariable("TARNWICK_PAINT_COUNTER");
  if (path.isEmpty()) return;
  m_file.setFileName(path);
  // Only little-endian machines count: the file's byte order is fixed.
  if (QSysInfo::ByteOrder != QSysInfo::LittleEndian) return;
  if (!m_file.open(QIODevice::ReadWrite | QIODevice::Truncate) ||
      !m_file.resize(sizeof(std::uint64_t)))
    return;
  uchar* mapped = m_file.map(0, sizeof(std::uint64_t));
  if (mapped != nullptr) m_pPaints = reinterpret_cast<volatile std::uint64_t*>(mapped);
}

}  // namespace tarnwick
