#include "display/text_selection.h"

#include <algorithm>

#include "display/cell_width.h"

namespace tarnwick {

void TextSelection::Start(TextPoint at, bool wholeLines) {
  m_bActive = true;
  m_bWholeLines = wholeLines;
  m_anchor = at;
  m_end = at;
}

void TextSelection::Extend(TextPoint to) {
  if (m_bActive) m_end = to;
}

bool TextSelection::Empty() const { return !m_bActive || (!m_bWholeLines && m_anchor == m_end); }

TextSelection::Columns TextSelection::ColumnsOn(std::uint64_t line, std::size_t length) const {
  if (Empty() || line < FirstLine() || line > LastLine()) return {};
  if (m_bWholeLines) return {0, length};
  const std::size_t begin = line == FirstLine() ? std::min(First().nColumn, length) : 0;
  const std::size_t end = line == LastLine() ? std::min(Last().nColumn, length) : length;
  return {begin, std::max(begin, end)};
}

void TextSelection::AppendCopied(std::string& out, std::uint64_t line, std::string_view shown,
                                 bool utf8) const {
  if (Empty() || line < FirstLine() || line > LastLine()) return;
  const Columns columns = ColumnsOn(line, utf8 ? CellCount(shown) : shown.size());
  const std::size_t begin = utf8 ? ByteOfCell(shown, columns.nBegin) : columns.nBegin;
  const std::size_t end = utf8 ? ByteOfCell(shown, columns.nEnd) : columns.nEnd;
  out.append(shown.substr(begin, end - begin));
  if (m_bWholeLines || line != LastLine()) out.append("\r\n");
}

}  // namespace tarnwick
