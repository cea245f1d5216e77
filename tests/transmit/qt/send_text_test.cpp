// The text box's text as the bytes that are sent, through a real text box.
#include "transmit/qt/send_text.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTextDocument>

namespace tarnwick {
namespace {

struct TextCase {
  QString typed;  // as setPlainText takes it
  std::string bytes;
};

TEST(SendText, TypedTextBecomesCodePageBytesWithCrLf) {
  const std::vector<TextCase> cases = {
      {QStringLiteral("AB\nC"), "AB\r\nC"},
      {QStringLiteral("\n\n"), "\r\n\r\n"},
      {QStringLiteral("\u00e9\u20ac\u00a0"), "\xE9\x80\xA0"},  // no-break space stays
      {QStringLiteral("x\u4e2dy"), "x?y"},                     // outside the code page
      {QString::fromUtf8("\xF0\x9F\x98\x80"), "?"},            // one character, one '?'
      {QStringLiteral("\\0D\t"), "\\0D\t"},
  };
  QPlainTextEdit box;
  for (const TextCase& c : cases) {
    box.setPlainText(c.typed);
    EXPECT_EQ(SendBytesFromText(box.document()->toRawText()), c.bytes) << c.typed.toStdString();
  }
}

TEST(SendText, ALineSeparatorIsALineBreakToo) {
  EXPECT_EQ(SendBytesFromText(QStringLiteral("a\u2028b\u2029c")), "a\r\nb\r\nc");
}

TEST(SendText, BytesShowAsTheyWereTypedAndReadBackTheSame) {
  std::string all;
  for (int b = 0; b < 256; ++b) {
    if (b != '\r' && b != '\n') all.push_back(static_cast<char>(b));
  }
  all += "\r\nend";
  QPlainTextEdit box;
  box.setPlainText(TextFromSendBytes(all));
  EXPECT_EQ(box.document()->blockCount(), 2);
  EXPECT_EQ(SendBytesFromText(box.document()->toRawText()), all);
}

}  // namespace
}  // namespace tarnwick
