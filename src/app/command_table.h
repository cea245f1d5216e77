// The program's commands: numeric ids, menu texts, status-bar prompts,
// tooltips and keys, kept in one table so menus, toolbar and accelerators
// agree. Plain data, no Qt.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace tarnwick {

enum CommandId : int {
  ID_SEND = 138,
  ID_HELP_TARNWICK = 139,
  ID_SCREEN_SETTINGS = 142,
  ID_PORT_SETTINGS = 146,
  ID_CLEAR_SCREEN = 147,
  ID_COPY_ALL = 151,
  ID_APP_ABOUT = 57664,
  ID_APP_EXIT = 57665,
  ID_VIEW_TOOLBAR = 59392,
  ID_VIEW_STATUS_BAR = 59393,
  // The Line menu: the modem lines set by hand.
  ID_LINE_DTR = 32800,
  ID_LINE_RTS = 32801,
  ID_LINE_PULSE_DTR = 32802,
  // Options beyond the settings record, from 34000 on.
  ID_VIEW_OPTIONS = 34000,
  ID_VIEW_PLOT = 34001,
  // Find and selection on the screen.
  ID_EDIT_FIND = 34002,
  ID_EDIT_FIND_NEXT = 34003,
  ID_EDIT_FIND_PREVIOUS = 34004,
  ID_EDIT_COPY_SELECTION = 34005,
  // View > Text: how TEXT is read and shown.
  ID_VIEW_TEXT_CP1252 = 34100,
  ID_VIEW_TEXT_UTF8 = 34101,
  ID_VIEW_TEXT_ISO8859_1 = 34102,
  ID_VIEW_TEXT_CP437 = 34103,
  ID_VIEW_TEXT_ANSI_COLOURS = 34104,
  ID_VIEW_TEXT_CONTROLS_AS_IS = 34105,
  ID_VIEW_TEXT_CONTROLS_PICTURES = 34106,
  ID_VIEW_TEXT_CONTROLS_ESCAPES = 34107,
  ID_VIEW_TEXT_LOG_KEEPS_ESCAPES = 34108,
  // Talking to the device: the port let go of and taken again, the send
  // line, the macros, keys typed into the view.
  ID_CONNECT = 34010,
  ID_DISCONNECT = 34011,
  ID_VIEW_SEND_LINE = 34012,
  ID_VIEW_MACROS = 34013,
  ID_VIEW_TYPE_INTO_VIEW = 34014,
  ID_VIEW_LOCAL_ECHO = 34015,
  ID_EDIT_PASTE_TO_DEVICE = 34016,
};

struct CommandInfo {
  int id;
  std::string_view text;     // menu entry, '&' marks the mnemonic
  std::string_view prompt;   // status-bar prompt; empty when the string table has none
  std::string_view tooltip;  // toolbar tooltip; empty when none
  std::string_view key;      // portable key text as QKeySequence reads it; empty when none
};

// Every command the program knows, including those whose menu entries join later.
std::span<const CommandInfo> Commands();

// The entry for id, or nullptr.
const CommandInfo* FindCommand(int id);

// The second key of a command on a Ctrl+letter key: Ctrl+Shift with the
// letter, which it keeps while keys typed into the view go to the device;
// empty when it has none or another command has that key.
std::string CtrlShiftKey(const CommandInfo& command);

// The idle text of the status bar's message pane.
inline constexpr std::string_view kReadyPrompt = "Ready";

// Window-title part of the caption, after the document title and " - ".
inline constexpr std::string_view kAppTitle = "Tarnwick";

}  // namespace tarnwick
