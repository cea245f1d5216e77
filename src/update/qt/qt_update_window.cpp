#include "update/qt/qt_update_window.h"

#include <QMetaObject>
#include <QObject>
#include <string>

namespace tarnwick {

QtUpdateWindow::QtUpdateWindow(QObject* gui, MessageBoxes& boxes,
                               std::function<void()> closeMainWindow, std::function<bool()> closing)
    : m_pGui(gui),
      m_boxes(boxes),
      m_closeMainWindow(std::move(closeMainWindow)),
      m_closing(std::move(closing)) {}

QtUpdateWindow::~QtUpdateWindow() { Cancel(); }

UpdateAnswer QtUpdateWindow::AskUpdate(std::string_view text, std::string_view caption) {
  auto question = std::make_shared<Question>();
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bCancelled) return UpdateAnswer::kClosed;
    m_pQuestion = question;
  }
  const auto isClosing = [closing = m_closing] { return closing && closing(); };
  QMetaObject::invokeMethod(
      m_pGui,
      [question, isClosing, boxes = &m_boxes, text = std::string(text),
       caption = std::string(caption)] {
        {
          const std::lock_guard<std::mutex> lock(question->mutex);
          if (question->cancelled) return;
        }
        UpdateAnswer answer = UpdateAnswer::kClosed;
        if (!isClosing()) {
          const MessageResult chosen =
              boxes->Show(text, caption, MessageIcon::kQuestion, MessageButtons::kYesNo);
          // Closing the program closes the box too; that is no answer.
          if (!isClosing())
            answer = chosen == MessageResult::kYes ? UpdateAnswer::kYes : UpdateAnswer::kNo;
        }
        const std::lock_guard<std::mutex> lock(question->mutex);
        question->answer = answer;
        question->answered.notify_all();
      },
      Qt::QueuedConnection);

  std::unique_lock<std::mutex> lock(question->mutex);
  question->answered.wait(lock, [&] { return question->answer || question->cancelled; });
  return question->cancelled ? UpdateAnswer::kClosed : *question->answer;
}

void QtUpdateWindow::Cancel() {
  std::shared_ptr<Question> question;
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_bCancelled = true;
    question = m_pQuestion;
  }
  if (!question) return;
  const std::lock_guard<std::mutex> lock(question->mutex);
  question->cancelled = true;
  question->answered.notify_all();
}

void QtUpdateWindow::CloseMainWindow() {
  QMetaObject::invokeMethod(m_pGui, m_closeMainWindow, Qt::QueuedConnection);
}

}  // namespace tarnwick
