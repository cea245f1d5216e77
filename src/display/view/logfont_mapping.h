// The record's LOGFONT and COLORREF as Qt's font and colour, and back: the
// one place where a stored font description becomes what is drawn.
#pragma once

#include <QColor>
#include <QFont>

#include "settings/settings.h"

namespace tarnwick {

// Heights beyond this are larger than any screen; a hand-edited record must
// not make a paint build a gigantic font.
inline constexpr int kMaxFontHeight = 1024;

// lfHeight > 0 is the cell height (ascent + descent): the pixel size is the
// largest whose cell fits it. lfHeight < 0 is the character height, Qt's
// pixel size. 0 keeps the font's default size. A face that is empty or not
// installed gives a font with equal advances all the same. Face names are stored in
// the display's code page, or as UTF-8 when the code page cannot hold them.
QFont FontFromLogFont(const LOGFONT& lf);

// True when the printable ASCII characters all take one advance, as the
// view's columns need. Measured, not asked: fontconfig gives some such faces
// no spacing property, and Qt then calls them proportional.
bool HasEqualAdvances(const QFont& font);

// The description of font, starting from base. The face is font's family
// (with ANSI_CHARSET when that changes the stored name). Otherwise what font
// has as FontFromLogFont(base) has it keeps base's bytes (a cell height stays
// a cell height); a changed size is stored as a character height. Bytes Qt
// has no notion of stay as in base.
LOGFONT LogFontFromFont(const QFont& font, const LOGFONT& base);

// COLORREF is 0x00BBGGRR.
QColor ColorFromColorRef(COLORREF color);
COLORREF ColorRefFromColor(const QColor& color);

}  // namespace tarnwick
