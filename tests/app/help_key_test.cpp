// F1 opens the help page from every window of the program: the main frame
// and any dialog, shown modally or not, made after the application started.
#include "app/qt/help_key.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include "app/command_table.h"
#include "app_fixture.h"

namespace tarnwick {
namespace {

using testing::AppFixture;
using testing::WaitFor;

// A dialog of the kind the program builds: an edit field that has the focus.
class PlainDialog : public QDialog {
 public:
  explicit PlainDialog(QWidget* parent) : QDialog(parent) {
    auto* layout = new QVBoxLayout(this);
    m_edit = new QLineEdit(this);
    layout->addWidget(m_edit);
    m_edit->setFocus();
  }
  QLineEdit* m_edit;
};

class HelpKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::WriteBytes(m_fixture.dir.File("help.html"), {'<', 'p', '>'});
    m_fixture.Start();
  }
  std::size_t Opened() const { return m_fixture.openedUrls.size(); }

  AppFixture m_fixture{false};
};

TEST_F(HelpKeyTest, OpensTheHelpPageOnceFromTheMainFrame) {
  // Through the window system, as a real key comes: the frame's own F1
  // shortcut takes it, and the filter must not open the page a second time.
  CMainFrame& frame = m_fixture.Frame();
  frame.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
  m_fixture.View().setFocus();
  int triggered = 0;
  QObject::connect(frame.Action(ID_HELP_TARNWICK), &QAction::triggered, [&] { ++triggered; });
  QTest::keyClick(frame.windowHandle(), Qt::Key_F1);
  EXPECT_EQ(triggered, 1);
  ASSERT_EQ(Opened(), 1u);
  EXPECT_EQ(m_fixture.openedUrls[0],
            QUrl::fromLocalFile(QString::fromStdString(m_fixture.dir.File("help.html"))));
}

TEST_F(HelpKeyTest, OpensTheHelpPageFromAModalDialog) {
  PlainDialog dialog(&m_fixture.Frame());
  bool sent = false;
  QTimer::singleShot(0, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != &dialog) return dialog.reject();
    QTest::keyClick(dialog.m_edit, Qt::Key_F1);
    sent = true;
    dialog.reject();
  });
  dialog.exec();
  ASSERT_TRUE(sent);
  EXPECT_EQ(Opened(), 1u);
  // The key opened the page and went nowhere else.
  EXPECT_TRUE(dialog.m_edit->text().isEmpty());
}

TEST_F(HelpKeyTest, OpensTheHelpPageFromAModelessDialogAndNotForOtherKeys) {
  PlainDialog dialog(&m_fixture.Frame());
  dialog.show();
  ASSERT_TRUE(WaitFor([&] { return dialog.isVisible(); }));
  QTest::keyClick(dialog.m_edit, Qt::Key_F1, Qt::ShiftModifier);
  QTest::keyClick(dialog.m_edit, Qt::Key_F2);
  QTest::keyClick(dialog.m_edit, Qt::Key_A);
  EXPECT_EQ(Opened(), 0u);
  EXPECT_EQ(dialog.m_edit->text(), QStringLiteral("a"));
  QTest::keyClick(dialog.m_edit, Qt::Key_F1);
  EXPECT_EQ(Opened(), 1u);
}

}  // namespace
}  // namespace tarnwick
