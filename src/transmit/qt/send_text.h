// The Send data text box's text as the bytes the parser reads, and back: one
// byte per character through the display's code page, a line break as CR LF.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tarnwick {

// text as QTextDocument::toRawText gives it: a line break (paragraph or line
// separator, or LF) becomes CR LF; a character outside the code page '?'.
std::string SendBytesFromText(const QString& text);

// The bytes as the box shows them: CR LF is a line break.
QString TextFromSendBytes(std::string_view bytes);

}  // namespace tarnwick
