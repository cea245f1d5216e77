// A selection on the screen's lines: whole lines (a drag in the margin left
// of the text) or a stretch of text between two points. Lines are known by
// their sequence number, so the selection stays on its text while lines
// arrive and old ones drop. Columns count characters of the line as shown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

struct TextPoint {
  std::uint64_t nLine = 0;
  std::size_t nColumn = 0;
  friend bool operator==(const TextPoint&, const TextPoint&) = default;
  friend auto operator<=>(const TextPoint&, const TextPoint&) = default;
};

class TextSelection {
 public:
  // Where the drag started; wholeLines selects every line it covers.
  void Start(TextPoint at, bool wholeLines);
  // Where the drag is now.
  void Extend(TextPoint to);
  void Clear() { m_bActive = false; }
  // Nothing selected: no drag, or a stretch of no characters.
  bool Empty() const;

  std::uint64_t FirstLine() const { return First().nLine; }
  std::uint64_t LastLine() const { return Last().nLine; }
  bool WholeLines() const { return m_bWholeLines; }

  // The selected columns [begin, end) of a line of length characters; begin
  // equals end when none are.
  struct Columns {
    std::size_t nBegin = 0;
    std::size_t nEnd = 0;
  };
  Columns ColumnsOn(std::uint64_t line, std::size_t length) const;

  // Appends the selected part of one line, called for each line from
  // FirstLine to LastLine that is still held, in order: whole lines each end
  // with CR LF, as Copy All writes them; a stretch has CR LF between its lines.
  // utf8: the line holds decoded text, whose columns are cells (a character
  // is copied when it starts inside the selection).
  void AppendCopied(std::string& out, std::uint64_t line, std::string_view shown,
                    bool utf8 = false) const;

 private:
  TextPoint First() const { return m_anchor < m_end ? m_anchor : m_end; }
  TextPoint Last() const { return m_anchor < m_end ? m_end : m_anchor; }

  bool m_bActive = false;
  bool m_bWholeLines = false;
  TextPoint m_anchor;
  TextPoint m_end;
};

}  // namespace tarnwick
