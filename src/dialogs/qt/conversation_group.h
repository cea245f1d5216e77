// The Options dialog's "Both directions" group: where the tap is offered,
// "Show sent data" and the colour of sent lines. The second port is chosen
// in Port Settings.
#pragma once

#include <QGroupBox>

#include "settings/conversation_options.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tarnwick {

class ColorChooser;

class CConversationGroup : public QGroupBox {
  Q_OBJECT
 public:
  CConversationGroup(const ConversationOptions& options, ColorChooser& colors,
                     QWidget* parent = nullptr);

  // The controls into options; the second port stays as it was.
  void Store(ConversationOptions& options) const;

  QLineEdit* TapPathEdit() const { return m_wndTapPath; }
  QCheckBox* ShowSentBox() const { return m_wndShowSent; }
  QPushButton* SentColourButton() const { return m_wndSentColour; }

 private:
  void OnSentColour();
  void ShowColour();

  ColorChooser& m_colors;
  std::uint32_t m_crSent;
  QLineEdit* m_wndTapPath = nullptr;
  QCheckBox* m_wndShowSent = nullptr;
  QPushButton* m_wndSentColour = nullptr;
};

}  // namespace tarnwick
