// Typing into the view: while it is on and the view has the focus, the keys
// pressed go to the device as a terminal sends them (typed_keys.h), Ctrl with
// a letter and Esc included, so the view's commands keep their menus and
// Ctrl+Shift keys. Ctrl+Shift+V pastes the clipboard's text the same way,
// asking first when it is large.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "platform/message_box.h"
#include "transmit/typed_keys.h"

class QKeyEvent;
class QWidget;

namespace tarnwick {

class CViewTyping : public QObject {
  Q_OBJECT
 public:
  struct Services {
    // Sends the bytes (typed keys); the reason when they were not taken.
    std::function<std::string(std::string bytes)> send;
    TextEncoder encode;
    // What Enter sends: the send line's line end.
    std::function<LineEnd()> lineEnd;
    MessageBoxes* boxes = nullptr;
    std::function<void(const QString&)> status;
  };

  CViewTyping(QWidget& view, Services services);

  void SetOn(bool on);
  bool On() const { return m_bOn; }

  // The clipboard's text as typed keys; more than kPasteAskBytes only once
  // the user agrees.
  void Paste();

  // The bytes a key event sends; empty when the key is not the device's.
  std::string BytesOf(const QKeyEvent& event) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TypingOptions Options() const;
  void Send(std::string bytes);

  QWidget& m_view;
  Services m_services;
  bool m_bOn = false;
};

}  // namespace tarnwick
