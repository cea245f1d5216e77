// The About box: the program icon, the version line, the maker's notice, OK.
#pragma once

#include <QDialog>

namespace tarnwick {

class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

inline constexpr const char* kAboutCaption = "About Zerik";
inline constexpr const char* kAboutVersionText = "Tarnwick Version 1.2";
inline constexpr const char* kAboutNoticeText = "Copyright (C) Norvast. All rights reserved.";

}  // namespace tarnwick
