// Error texts in the header: the system's English sentence whatever the
// user's locale, in the display's code page.
#include "platform/error_text.h"

#include <gtest/gtest.h>
#include <locale.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "port/serial_line.h"
#include "scoped_env.h"
#include "settings/settings.h"
#include "support/temp_dir.h"

namespace tarnwick {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

// A German UTF-8 locale compiled into a directory of the test's own, so the
// test needs no locale installed system-wide; the translations come from the
// C library's message catalogue.
class GermanLocale : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = new TempDir;
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + s_dir->File("de_DE.UTF-8") + "' >/dev/null 2>&1";
    s_built = std::system(command.c_str()) == 0;
  }
  static void TearDownTestSuite() {
    delete s_dir;
    s_dir = nullptr;
  }

  void SetUp() override {
    if (!s_built) GTEST_SKIP() << "localedef cannot build de_DE.UTF-8";
    m_locpath = std::make_unique<ScopedEnv>("LOCPATH", s_dir->path().string());
    m_language = std::make_unique<ScopedEnv>("LANGUAGE", "de");
    ASSERT_NE(::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    // The precondition: the C library itself answers in German here.
    if (std::string(std::strerror(ENOENT)) == "No such file or directory")
      GTEST_SKIP() << "no German message catalogue";
  }
  void TearDown() override { ::setlocale(LC_ALL, "C"); }

  static inline TempDir* s_dir = nullptr;
  static inline bool s_built = false;
  std::unique_ptr<ScopedEnv> m_locpath;
  std::unique_ptr<ScopedEnv> m_language;
};

TEST_F(GermanLocale, SystemTextsStayEnglish) {
  EXPECT_EQ(SystemErrorText(ENOENT), "No such file or directory");
  EXPECT_EQ(SystemErrorText(EBUSY), "Device or resource busy");
  EXPECT_EQ(SystemErrorText(ENOSPC), "No space left on device");
  EXPECT_EQ(CreatePlatformSerialBackend()->ErrorText(EACCES), "Permission denied");
}

TEST_F(GermanLocale, MissingPortHeaderReadsInEnglish) {
  TempDir dir;
  ScopedEnv port("TARNWICK_COM3", dir.File("no-such-device"));
  SETTINGS settings = DefaultSettings();
  settings.nPortIndex = 2;
  auto backend = CreatePlatformSerialBackend();
  SerialLine line(settings, *backend);
  EXPECT_FALSE(line.OpenPort());
  EXPECT_EQ(line.Status(), "Open Port FAILED !No such file or directory");
}

TEST(SystemErrorText, UnknownNumberStillGivesText) {
  EXPECT_EQ(SystemErrorText(0x7fff1234).rfind("Unknown error", 0), 0u);
}

TEST(Utf8ToAnsi, DecodesIntoTheDisplayCodePage) {
  const struct {
    const char* utf8;
    const char* ansi;
  } cases[] = {
      {"plain ASCII", "plain ASCII"},
      {"Ger\xC3\xA4t", "Ger\xE4t"},  // U+00E4
      {"\xE2\x82\xAC 5", "\x80 5"},  // euro sign: 0x80 in Windows-1252
      {"\xC5\x93", "\x9C"},          // U+0153 oe ligature
      {"\xE6\x97\xA5", "?"},         // outside the code page
      {"\xF0\x9F\x98\x80!", "?!"},   // four bytes, outside the code page
      {"\xC3", "?"},                 // cut short
      {"\xC3(", "?("},               // lead without its continuation
      {"\xC0\xAF", "??"},            // overlong
      {"\xE0\x80\xAF", "???"},       // overlong in three bytes
      {"\xED\xA0\x80", "???"},       // a surrogate is no character
      {"\xF4\x90\x80\x80", "????"},  // past U+10FFFF
      {"\x80x", "?x"},               // stray continuation byte
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(Utf8ToAnsi(c.utf8), c.ansi);
  }
}

}  // namespace
}  // namespace tarnwick
