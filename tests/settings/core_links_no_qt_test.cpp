// The plain library must stay free of Qt: its archive may not name any Qt
// symbol or library.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

TEST(TarnwickCore, ContainsNoQtSymbols) {
  std::ifstream in(TARNWICK_CORE_FILE, std::ios::binary);
  ASSERT_TRUE(in) << TARNWICK_CORE_FILE;
  const std::string archive{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_GT(archive.size(), 1000u);
  for (const char* needle : {"QString", "QObject", "QByteArray", "libQt6", "_ZN7QWidget"}) {
    EXPECT_EQ(archive.find(needle), std::string::npos) << needle;
  }
}

}  // namespace
