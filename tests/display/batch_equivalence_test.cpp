// Runs of bytes against byte-by-byte intake and against a plain transcription
// of the intake rules, on random input under randomly changing settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "display/recording_repaint_sink.h"
#include "display/screen_model.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::ReadBytes;
using testing::RecordingRepaintSink;
using testing::RepaintRequest;
using testing::TempDir;

// The intake rules written out step by step, with the C runtime's printf for
// every format, a deque for the lines and a string for the text log.
class ReferenceModel {
 public:
  explicit ReferenceModel(const SETTINGS& settings) : m_s(settings) {}

  void Add(std::uint8_t b) {
    const int lengthIndex = std::clamp(m_s.nUnitLengthIndex, 0, 3);
    m_unit[m_fill++] = b;
    if (m_fill <= lengthIndex) return;
    m_fill = 0;
    const int n = lengthIndex + 1;
    const int rows = std::max(m_s.nRows, 1);
    bool boundary = false;
    if (m_s.nColumns != 0 && m_unitsOnLine >= m_s.nColumns) {
      m_unitsOnLine = 0;
      boundary = true;
      Trim(rows);
    }
    if (m_unitsOnLine == 0) {
      boundary = true;
      if (m_s.bSaveText) WriteTextLine();
      lines.emplace_back();
      lineBytes.emplace_back();
    }
    // Lines keep the bytes of their number-format units, for the text beside them.
    if (m_s.nUnitFormatIndex > kFormatText && m_s.nUnitFormatIndex <= kFormatFloat) {
      lineBytes.back().append(reinterpret_cast<const char*>(m_unit), n);
    }
    std::uint32_t value = 0;
    for (int i = 0; i < n; ++i) value = (value << 8) | m_unit[m_s.bReverseBytes ? n - 1 - i : i];
    char text[80];
    switch (m_s.nUnitFormatIndex) {
      case kFormatText:
        if (m_s.nColumns == 0 && b == '\r') {
          boundary = true;
          Trim(rows);
          m_unitsOnLine = -1;
        } else if (!(m_s.nColumns == 0 && b == '\n')) {
          lines.back() += static_cast<char>(b);
        }
        break;
      case kFormatHex:
        std::snprintf(text, sizeof text, " %0*X", 2 * n, value);
        lines.back() += text;
        break;
      case kFormatBinary:
        lines.back() += ' ';
        for (int i = 0; i < n; ++i) {
          for (int bit = 7; bit >= 0; --bit) lines.back() += ((m_unit[i] >> bit) & 1) ? '1' : '0';
        }
        break;
      case kFormatDec: {
        std::int32_t number = static_cast<std::int32_t>(value);
        if (n < 4 && (value >> (8 * n - 1)) & 1)
          number = static_cast<std::int32_t>(value) - (1 << (8 * n));
        std::snprintf(text, sizeof text, " %d", number);
        lines.back() += text;
        break;
      }
      case kFormatFloat: {
        float number;
        std::memcpy(&number, &value, 4);
        std::snprintf(text, sizeof text, " %f", static_cast<double>(number));
        lines.back() += text;
        break;
      }
      default:
        lines.back() = "Unknown Format";
    }
    ++m_unitsOnLine;
    if (boundary) {
      repaints.push_back({true, {}});
    } else {
      repaints.push_back({false, lastLine});
      repaints.push_back({false, {0, 0, lastLine.right, lastLine.bottom - lastLine.top}});
    }
  }

  void Clear() {
    if (m_s.bSaveText) WriteTextLine();
    m_unitsOnLine = 0;
    m_fill = 0;
    lines.clear();
    lineBytes.clear();
    repaints.push_back({true, {}});
  }

  std::deque<std::string> lines;
  std::deque<std::string> lineBytes;  // the bytes of each line's number units
  std::string log;
  bool bLogCreated = false;
  std::vector<RepaintRequest> repaints;
  Rect lastLine{0, 0, 1000, 1000};

 private:
  void WriteTextLine() {
    bLogCreated = true;
    if (!lines.empty()) log += lines.back();
  }
  void Trim(int rows) {
    while (static_cast<int>(lines.size()) >= rows) {
      if (lines.size() == 1 && m_s.bSaveText) WriteTextLine();
      lines.pop_front();
      lineBytes.pop_front();
    }
  }

  const SETTINGS& m_s;
  std::uint8_t m_unit[4] = {};
  int m_fill = 0;
  int m_unitsOnLine = 0;
};

template <typename T>
T Pick(std::mt19937& random, std::initializer_list<T> choices) {
  return choices.begin()[random() % choices.size()];
}

void RandomDisplaySettings(std::mt19937& random, SETTINGS& s) {
  s.nUnitFormatIndex = Pick(random, {0, 0, 0, 1, 1, 2, 3, 3, 4, 5, -1});
  s.nUnitLengthIndex = Pick(random, {0, 0, 1, 2, 3, 3, -1, 4});
  s.bReverseBytes = static_cast<std::int32_t>(random() % 2);
  s.nColumns = Pick(random, {0, 0, 1, 2, 3, 5, 16, -1, -4});
  s.nRows = Pick(random, {1, 2, 3, 8, 25, 0, -2});
  s.bSaveText = static_cast<std::int32_t>(random() % 3 != 0);
}

std::vector<std::uint8_t> RandomRun(std::mt19937& random) {
  const std::size_t length = Pick<std::size_t>(random, {1, 2, 3, 5, 17, 100, 700});
  std::vector<std::uint8_t> run(length);
  for (auto& b : run) {
    // Plenty of CR and LF so that line mode gets exercised.
    const unsigned r = random() % 10;
    b = r == 0 ? '\r' : r == 1 ? '\n' : static_cast<std::uint8_t>(random());
  }
  return run;
}

std::string FileText(const std::string& path) {
  const auto bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(BatchIntake, MatchesByteByByteAndTheReferenceUnderChangingSettings) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    TempDir dir;
    SETTINGS singleSettings = DefaultSettings();
    SETTINGS batchSettings = DefaultSettings();
    SETTINGS referenceSettings = DefaultSettings();
    std::snprintf(singleSettings.szTextFile, kPathBufferSize, "%s", dir.File("single").c_str());
    std::snprintf(batchSettings.szTextFile, kPathBufferSize, "%s", dir.File("batch").c_str());
    RecordingRepaintSink singleSink, batchSink;
    LiveSettings singleLive(singleSettings);
    ScreenModel single(singleLive, &singleSink);
    // The text options at their defaults, given explicitly: TEXT keeps its
    // bytes, as the rules above have them.
    const DisplayOptions defaults;
    LiveSettings batchLive(batchSettings, defaults);
    ScreenModel batch(batchLive, &batchSink);
    ReferenceModel reference(referenceSettings);

    for (int step = 0; step < 150; ++step) {
      if (random() % 4 == 0) {
        RandomDisplaySettings(random, referenceSettings);
        for (SETTINGS* s : {&singleSettings, &batchSettings}) {
          s->nUnitFormatIndex = referenceSettings.nUnitFormatIndex;
          s->nUnitLengthIndex = referenceSettings.nUnitLengthIndex;
          s->bReverseBytes = referenceSettings.bReverseBytes;
          s->nColumns = referenceSettings.nColumns;
          s->nRows = referenceSettings.nRows;
          s->bSaveText = referenceSettings.bSaveText;
        }
        singleLive.Publish();
        batchLive.Publish();
      }
      if (random() % 5 == 0) {  // a paint in between
        const Rect rect{
            static_cast<std::int32_t>(random() % 50), static_cast<std::int32_t>(random() % 500),
            static_cast<std::int32_t>(random() % 900), static_cast<std::int32_t>(random() % 600)};
        single.SetLastLineRect(rect);
        batch.SetLastLineRect(rect);
        reference.lastLine = rect;
      }
      singleSink.Reset();
      batchSink.Reset();
      reference.repaints.clear();
      if (random() % 40 == 0) {
        single.Clear();
        batch.Clear();
        reference.Clear();
      } else {
        const auto run = RandomRun(random);
        for (std::uint8_t b : run) {
          single.AddReceivedByte(b);
          reference.Add(b);
        }
        batch.AddReceivedBytes(run.data(), run.size());
      }
      ASSERT_EQ(singleSink.requests, reference.repaints) << "step " << step;
      ASSERT_EQ(batchSink.Areas(), singleSink.Areas()) << "step " << step;
      const std::vector<std::string> expected(reference.lines.begin(), reference.lines.end());
      ASSERT_EQ(single.Lines(), expected) << "step " << step;
      ASSERT_EQ(batch.Lines(), expected) << "step " << step;
      std::string copied;
      for (const std::string& line : expected) copied += line + "\r\n";
      const ScreenModel::CopiedText copy = batch.CopyAll();
      ASSERT_FALSE(copy.bUtf8) << "step " << step;
      ASSERT_EQ(copy.text, copied) << "step " << step;
      const std::vector<std::string> bytes(reference.lineBytes.begin(), reference.lineBytes.end());
      ASSERT_EQ(single.LineBytes(), bytes) << "step " << step;
      ASSERT_EQ(batch.LineBytes(), bytes) << "step " << step;
      ASSERT_EQ(batch.UnitFill(), single.UnitFill()) << "step " << step;
      ASSERT_EQ(batch.UnitsOnLine(), single.UnitsOnLine()) << "step " << step;
      // Lines closed in a run are in the file when the run returns.
      ASSERT_EQ(FileText(dir.File("single")), reference.log) << "step " << step;
      ASSERT_EQ(FileText(dir.File("batch")), reference.log) << "step " << step;
      ASSERT_EQ(std::filesystem::exists(dir.File("batch")), reference.bLogCreated);
    }
  }
}

}  // namespace
}  // namespace tarnwick
