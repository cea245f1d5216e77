// Real message boxes: single-byte texts in the display's code page, over the
// dialog that asked for them.
#include "app/qt_message_boxes.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>

namespace tarnwick {
namespace {

TEST(QtMessageBoxes, CodePageTextOverTheRunningDialog) {
  QDialog dialog;
  QString text;
  QString caption;
  QWidget* owner = nullptr;
  QTimer::singleShot(0, [&] {
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      text = box->text();
      caption = box->windowTitle();
      owner = box->parentWidget();
      box->accept();
    });
    QtMessageBoxes boxes;
    boxes.Show("\x93x\x94 costs 5\x80", "Bad item\x85", MessageIcon::kError);
    dialog.reject();
  });
  dialog.exec();
  EXPECT_EQ(text, QString::fromUtf8("\xE2\x80\x9Cx\xE2\x80\x9D costs 5\xE2\x82\xAC"));
  EXPECT_EQ(caption, QString::fromUtf8("Bad item\xE2\x80\xA6"));
  EXPECT_EQ(owner, &dialog);
}

}  // namespace
}  // namespace tarnwick
