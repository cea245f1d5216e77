// The main window as the check thread reaches it: the update question is
// shown on the user-interface thread while the check thread waits, and the
// close request is queued there.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/message_box.h"
#include "update/update_interfaces.h"

class QObject;

namespace tarnwick {

class QtUpdateWindow : public UpdateWindow {
 public:
  // gui: an object of the user-interface thread; what is queued to it is
  // dropped when it goes. boxes shows the question. closeMainWindow closes
  // the main window as Exit does; closing tells, on that thread, whether the
  // program has begun to close (a question it took away was not answered).
  QtUpdateWindow(QObject* gui, MessageBoxes& boxes, std::function<void()> closeMainWindow,
                 std::function<bool()> closing);
  ~QtUpdateWindow() override;

  UpdateAnswer AskUpdate(std::string_view text, std::string_view caption) override;
  void Cancel() override;
  void CloseMainWindow() override;

 private:
  // One question, shared by the waiting thread and the queued call.
  struct Question {
    std::mutex mutex;
    std::condition_variable answered;
    std::optional<UpdateAnswer> answer;
    bool cancelled = false;
  };

  QObject* m_pGui;
  MessageBoxes& m_boxes;
  std::function<void()> m_closeMainWindow;
  std::function<bool()> m_closing;
  std::mutex m_mutex;  // guards the two below
  std::shared_ptr<Question> m_pQuestion;
  bool m_bCancelled = false;
};

}  // namespace tarnwick
