// The status bar names a log that cannot be written and the system's reason,
// while it cannot, and says nothing once writing works again.
#include "display/view/log_failure_pane.h"

#include <gtest/gtest.h>

#include <QStatusBar>
#include <filesystem>
#include <memory>

#include "app_fixture.h"
#include "logging_settings.h"
#include "support/file_limits.h"

namespace tarnwick {
namespace {

using testing::AppFixture;
using testing::ScopedFileSizeLimit;
using testing::WaitFor;

QString Quoted(const std::string& path) {
  return QStringLiteral("\"") + QString::fromStdString(path) + QStringLiteral("\"");
}

class LogFailurePaneTest : public ::testing::Test {
 protected:
  void Start(const SETTINGS& settings) {
    m_fixture.WriteConfig(settings);
    m_fixture.Start();
    ASSERT_TRUE(m_fixture.WaitForPortOpen());
    m_pane = m_fixture.Frame().findChild<LogFailurePane*>(QStringLiteral("logFailurePane"));
    ASSERT_NE(m_pane, nullptr);
    EXPECT_EQ(m_pane->parentWidget(), m_fixture.Frame().statusBar());
  }
  std::uintmax_t RawSize() const {
    std::error_code error;
    return std::filesystem::file_size(m_fixture.dir.File("raw.log"), error);
  }

  AppFixture m_fixture{true};
  LogFailurePane* m_pane = nullptr;
};

TEST_F(LogFailurePaneTest, FullRawLogAppearsAndClears) {
  Start(testing::HexLoggingSettings(m_fixture.dir, true, false));
  ASSERT_TRUE(m_fixture.Pty().Write(std::vector<std::uint8_t>(100, 0x5A)));
  ASSERT_TRUE(WaitFor([&] { return RawSize() == 100; }));
  EXPECT_FALSE(m_pane->isVisible());

  auto limit = std::make_unique<ScopedFileSizeLimit>(100);  // the disk is full
  ASSERT_TRUE(limit->ok());
  ASSERT_TRUE(m_fixture.Pty().Write(std::vector<std::uint8_t>(10, 0x5B)));
  ASSERT_TRUE(WaitFor([&] { return m_pane->isVisible(); }));
  EXPECT_EQ(m_pane->FullText(), QStringLiteral("Cannot write the raw log ") +
                                    Quoted(m_fixture.dir.File("raw.log")) +
                                    QStringLiteral(": File too large"));
  EXPECT_EQ(m_pane->toolTip(), m_pane->FullText());
  // Reception and display go on meanwhile.
  ASSERT_TRUE(WaitFor([&] { return m_fixture.Worker().m_nBytesRead.load() == 110; }));

  limit.reset();  // space again
  ASSERT_TRUE(m_fixture.Pty().Write(std::vector<std::uint8_t>(5, 0x5C)));
  ASSERT_TRUE(WaitFor([&] { return !m_pane->isVisible(); }));
  EXPECT_EQ(RawSize(), 105u);
  EXPECT_TRUE(m_pane->FullText().isEmpty());
}

TEST_F(LogFailurePaneTest, MissingTextLogFolderAppearsAndClears) {
  SETTINGS settings = testing::HexLoggingSettings(m_fixture.dir, false, true);
  const std::string path = m_fixture.dir.File("logs/text.log");
  std::snprintf(settings.szTextFile, sizeof settings.szTextFile, "%s", path.c_str());
  settings.nColumns = 1;  // every byte closes a line
  Start(settings);
  ASSERT_TRUE(m_fixture.Pty().Write(std::vector<std::uint8_t>{1, 2}));
  ASSERT_TRUE(WaitFor([&] { return m_pane->isVisible(); }));
  EXPECT_EQ(m_pane->FullText(), QStringLiteral("Cannot write the text log ") + Quoted(path) +
                                    QStringLiteral(": No such file or directory"));
  std::filesystem::create_directory(m_fixture.dir.File("logs"));
  ASSERT_TRUE(m_fixture.Pty().Write(std::vector<std::uint8_t>{3}));
  ASSERT_TRUE(WaitFor([&] { return !m_pane->isVisible(); }));
}

TEST_F(LogFailurePaneTest, LongPathIsShortenedNotWideningTheWindow) {
  SETTINGS settings = testing::HexLoggingSettings(m_fixture.dir, true, false);
  const std::string path = m_fixture.dir.File(std::string(600, 'd') + "/raw.log");
  std::snprintf(settings.szRawFile, sizeof settings.szRawFile, "%s", path.c_str());
  Start(settings);
  // Room for the reason beside the other panes of the status bar.
  m_fixture.Frame().resize(1400, m_fixture.Frame().height());
  const int widthBefore = m_fixture.Frame().minimumSizeHint().width();
  ASSERT_TRUE(m_fixture.Pty().Write(std::vector<std::uint8_t>{1}));
  ASSERT_TRUE(WaitFor([&] { return m_pane->isVisible(); }));
  EXPECT_TRUE(m_pane->FullText().contains(QString::fromStdString(path)));
  EXPECT_LT(m_pane->text().size(), m_pane->FullText().size());
  EXPECT_TRUE(m_pane->text().endsWith(QStringLiteral(": File name too long")) ||
              m_pane->text().endsWith(QStringLiteral(": No such file or directory")));
  // Showing the pane adds its spacing, not the text's width of several thousand pixels.
  EXPECT_LT(m_fixture.Frame().minimumSizeHint().width(), widthBefore + 100);
}

TEST(LogFailurePaneText, NamesEachFailingLog) {
  using Failure = LogFailures::Failure;
  EXPECT_EQ(LogFailurePane::Text({}), QString());
  EXPECT_EQ(LogFailurePane::Text({Failure{LogKind::kRaw, "", ENOENT}}),
            QStringLiteral("Cannot write the raw log: no file is chosen"));
  EXPECT_EQ(LogFailurePane::Text({Failure{LogKind::kRaw, "/r", ENOSPC},
                                  Failure{LogKind::kText, "/m\xC3\xBC", EACCES}}),
            QStringLiteral("Cannot write the raw log \"/r\": No space left on device; "
                           "Cannot write the text log \"/m\u00FC\": Permission denied"));
}

}  // namespace
}  // namespace tarnwick
