// The real message boxes: what they show for single-byte text, for a path
// and for a text of megabytes, and which window they stay over.
#include "app/qt_message_boxes.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <string>

namespace tarnwick {
namespace {

struct Seen {
  QString text;
  QString caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Shows a box through show() and reads it while it is up.
Seen Capture(const std::function<void()>& show) {
  Seen seen;
  QTimer::singleShot(0, [&seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen = {box->text(), box->windowTitle(), box->icon()};
    box->accept();
  });
  show();
  return seen;
}

TEST(QtMessageBoxes, TextAndCaptionAreTheDisplaysCodePage) {
  QtMessageBoxes boxes;
  const Seen seen =
      Capture([&] { boxes.Show("1\x80\xE9!", "Incorrect token", MessageIcon::kError); });
  EXPECT_EQ(seen.text, QStringLiteral("1\u20ac\u00e9!"));
  EXPECT_EQ(seen.caption, QStringLiteral("Incorrect token"));
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
}

TEST(QtMessageBoxes, APathIsShownAsTheFileSystemNamesIt) {
  QtMessageBoxes boxes;
  const std::string path = "/tmp/d\xC3\xA4t\xC3\xA4.bin";
  const Seen seen =
      Capture([&] { boxes.ShowPath(path, "Can not open file !", MessageIcon::kError); });
  EXPECT_EQ(seen.text, QFile::decodeName(path.c_str()));
  EXPECT_EQ(seen.caption, QStringLiteral("Can not open file !"));
}

TEST(QtMessageBoxes, AHugeTextIsCutForTheScreenOnly) {
  QtMessageBoxes boxes;
  const std::string token(8 << 20, '7');
  const Seen seen = Capture([&] { boxes.Show(token, "Incorrect token", MessageIcon::kError); });
  ASSERT_EQ(seen.text.size(), QtMessageBoxes::kMaxShownChars + 1);
  EXPECT_TRUE(seen.text.startsWith(QString(QtMessageBoxes::kMaxShownChars, QLatin1Char('7'))));
  EXPECT_EQ(seen.text.back(), QChar(0x2026));
  // A short one is left alone; a cut never splits a character.
  EXPECT_EQ(QtMessageBoxes::ShownText(QStringLiteral("short")), QStringLiteral("short"));
  const QString pairs = QStringLiteral("x") + QString::fromUtf8("\xF0\x9F\x98\x80").repeated(200);
  const QString cut = QtMessageBoxes::ShownText(pairs);
  EXPECT_FALSE(cut.at(cut.size() - 2).isHighSurrogate());
}

TEST(QtMessageBoxes, StaysOverTheRunningDialog) {
  QDialog dialog;
  QWidget* owner = nullptr;
  QString caption;
  QTimer::singleShot(0, [&] {
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      owner = box->parentWidget();
      caption = box->windowTitle();
      box->accept();
    });
    QtMessageBoxes boxes;
    boxes.Show("x", "Bad item\x85", MessageIcon::kError);
    dialog.reject();
  });
  dialog.exec();
  EXPECT_EQ(owner, &dialog);
  EXPECT_EQ(caption, QString::fromUtf8("Bad item\xE2\x80\xA6"));
}

}  // namespace
}  // namespace tarnwick
