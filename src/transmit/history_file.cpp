#include "transmit/history_file.h"

#include "transmit/setting_line.h"
#include "transmit/text_file.h"

namespace tarnwick {
namespace {

constexpr std::string_view kHeaderWord = "tarnwick-history";
constexpr std::string_view kVersion = "1";

std::string PathText(const std::filesystem::path& path) {
  return reinterpret_cast<const char*>(path.u8string().c_str());
}

}  // namespace

std::string HistoryFile::Text(const SendHistory& history) {
  std::string text = "# The send line's history, the most recent first.\n";
  text += std::string(kHeaderWord) + " = " + std::string(kVersion) + "\n";
  for (const SendEntry& entry : history.Entries()) {
    if (!IsOneLine(entry.text)) continue;  // a send line holds one line
    text += FormatWords(entry) + " = " + QuotedValue(entry.text) + "\n";
  }
  return text;
}

HistoryFile::Report HistoryFile::Load(SendHistory& history) {
  Report report;
  history.Clear();
  m_bKeepFile = false;
  const FileText file = ReadTextFile(m_path, kMaxFileBytes);
  if (!file.exists) return report;
  if (!file.error.empty()) {
    m_bKeepFile = true;
    report.message = "The send history " + PathText(m_path) + " could not be read (" + file.error +
                     "); it is left as it is and nothing is saved to it";
    return report;
  }
  std::vector<SendEntry> entries;
  bool headerSeen = false;
  const std::vector<std::string_view> lines = SplitLines(file.text);
  for (std::size_t n = 0; n < lines.size(); ++n) {
    SettingLine line;
    bool good = ReadSettingLine(lines[n], &line).empty() && IsUtf8(lines[n]);
    if (good && line.words.empty()) continue;  // a comment
    if (good && !headerSeen) {
      // Only a history of this version is read line by line.
      good = line.words.size() == 1 && line.words[0] == kHeaderWord && line.value == kVersion;
      headerSeen = good;
      if (!good) {
        report.damagedLines = lines.size() - n;
        report.firstDamagedLine = n + 1;
        break;
      }
      continue;
    }
    SendEntry entry;
    entry.text = line.value;
    good = good && !entry.text.empty() && ReadFormatWords(line.words, entry, nullptr).empty();
    if (!good) {
      if (report.damagedLines++ == 0) report.firstDamagedLine = n + 1;
      continue;
    }
    entries.push_back(std::move(entry));
  }
  history.Assign(entries);
  report.loaded = history.Entries().size();
  if (report.damagedLines == 0 && !file.truncated) return report;

  std::string what =
      file.truncated ? "is larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB"
      : report.damagedLines == 1
          ? "has a damaged line (" + std::to_string(report.firstDamagedLine) + ")"
          : "has " + std::to_string(report.damagedLines) + " damaged lines (the first is " +
                std::to_string(report.firstDamagedLine) + ")";
  std::string error;
  report.keptAs = CopyAside(m_path, ".damaged", &error);
  m_bKeepFile = report.keptAs.empty();
  report.message = "The send history " + PathText(m_path) + " " + what + "; " +
                   std::to_string(report.loaded) + " entries were read";
  if (m_bKeepFile) {
    report.message += ". It could not be copied aside (" + error +
                      "), so it is left as it is and nothing is saved to it";
  } else {
    report.message += " and the file was kept as " + PathText(report.keptAs);
  }
  return report;
}

std::string HistoryFile::Save(const SendHistory& history) {
  if (m_bKeepFile) return "the damaged send history is kept as it is";
  return ReplaceTextFile(m_path, Text(history));
}

}  // namespace tarnwick
