// The About box: the program icon, the version line, the maker's notice
// with the licence, OK.
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
// Two lines: the maker's notice and the licence the program is given under.
inline constexpr const char* kAboutNoticeText =
    "Copyright (C) 2026 Norvast.\n"
    "Free software under the GNU General Public License, version 3 or later; no warranty.";

}  // namespace tarnwick
