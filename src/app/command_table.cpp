#include "app/command_table.h"

#include <array>

namespace tarnwick {
namespace {

constexpr std::array kCommands = {
    CommandInfo{ID_PORT_SETTINGS, "&Port settings", "Configure your COM Port settings",
                "COM Port settings", "Ctrl+Shift+P"},
    CommandInfo{ID_SCREEN_SETTINGS, "&Screen Settings", "Configure data interpretation",
                "Screen settings", "Ctrl+Shift+S"},
    CommandInfo{ID_SEND, "&Send", "Send data to RS232 device", "Send data", "Ctrl+Shift+T"},
    CommandInfo{ID_CONNECT, "&Connect", "Open the port again after Disconnect", "Connect", ""},
    CommandInfo{ID_DISCONNECT, "&Disconnect",
                "Close the port so that another program can use it; the window stays", "Disconnect",
                ""},
    CommandInfo{ID_APP_EXIT, "E&xit", "Quit the application; prompts to save documents", "Exit",
                ""},
    CommandInfo{ID_COPY_ALL, "Copy All", "", "", "Ctrl+C"},
    CommandInfo{ID_EDIT_COPY_SELECTION, "Copy &Selection", "Copy the selected text", "",
                "Ctrl+Shift+C"},
    CommandInfo{ID_EDIT_PASTE_TO_DEVICE, "&Paste to Device",
                "Send the clipboard's text as typed keys", "", "Ctrl+Shift+V"},
    CommandInfo{ID_EDIT_FIND, "&Find...", "Find text in the received lines", "", "Ctrl+F"},
    CommandInfo{ID_EDIT_FIND_NEXT, "Find &Next", "Go to the next match", "", "F3"},
    CommandInfo{ID_EDIT_FIND_PREVIOUS, "Find &Previous", "Go to the previous match", "",
                "Shift+F3"},
    CommandInfo{ID_VIEW_TOOLBAR, "&Toolbar", "", "", ""},
    CommandInfo{ID_VIEW_STATUS_BAR, "&Status Bar", "", "", ""},
    CommandInfo{ID_CLEAR_SCREEN, "Clear", "Clear screen", "Clear screen", "Ctrl+L"},
    CommandInfo{ID_VIEW_OPTIONS, "&Options...",
                "Timestamps, line breaks, following, text beside units", "", "Ctrl+Shift+O"},
    CommandInfo{ID_VIEW_PLOT, "&Plot", "Plot the received values live", "Plot", "Ctrl+Shift+G"},
    CommandInfo{ID_VIEW_TEXT_CP1252, "&Windows-1252", "Read TEXT as Windows-1252 (cp1252)", "", ""},
    CommandInfo{ID_VIEW_TEXT_UTF8, "&UTF-8", "Read TEXT as UTF-8", "", ""},
    CommandInfo{ID_VIEW_TEXT_ISO8859_1, "&ISO-8859-1", "Read TEXT as ISO-8859-1 (Latin-1)", "", ""},
    CommandInfo{ID_VIEW_TEXT_CP437, "&DOS (cp437)", "Read TEXT as the DOS code page 437", "", ""},
    CommandInfo{ID_VIEW_TEXT_ANSI_COLOURS, "&ANSI colours",
                "Show the colours of ANSI escape sequences and hide the other sequences", "", ""},
    CommandInfo{ID_VIEW_TEXT_CONTROLS_AS_IS, "&As is", "Show control characters as they are", "",
                ""},
    CommandInfo{ID_VIEW_TEXT_CONTROLS_PICTURES, "&Pictures",
                "Show control characters as pictures, tabs to the next multiple of 8", "", ""},
    CommandInfo{ID_VIEW_TEXT_CONTROLS_ESCAPES, "&Escapes", "Show control characters as \\x00", "",
                ""},
    CommandInfo{ID_VIEW_TEXT_LOG_KEEPS_ESCAPES, "&Keep escapes in text log",
                "Write the escape sequences to the text log as they came", "", ""},
    CommandInfo{ID_VIEW_SEND_LINE, "Send &line", "Show or hide the send line under the view", "",
                ""},
    CommandInfo{ID_VIEW_MACROS, "&Macros", "Show or hide the macro buttons", "", ""},
    CommandInfo{ID_VIEW_TYPE_INTO_VIEW, "T&ype into the view",
                "Keys pressed in the view go to the device; the view's commands keep Ctrl+Shift",
                "", ""},
    CommandInfo{ID_VIEW_LOCAL_ECHO, "Local &echo", "Show the keys typed into the view as sent data",
                "", ""},
    CommandInfo{ID_APP_ABOUT, "&About Tarnwick...",
                "Display program information, version number and copyright", "About", ""},
    CommandInfo{ID_HELP_TARNWICK, "Tarnwick HELP", "", "", "F1"},
    CommandInfo{ID_LINE_DTR, "&DTR", "Raise or lower DTR (Data Terminal Ready) on the open port",
                "DTR", ""},
    CommandInfo{ID_LINE_RTS, "&RTS", "Raise or lower RTS (Request To Send) on the open port", "RTS",
                ""},
    CommandInfo{ID_LINE_PULSE_DTR, "&Pulse DTR",
                "Drop DTR for 100 ms and raise it again: the usual board reset", "Pulse DTR",
                "Ctrl+Shift+R"},
};

}  // namespace

std::span<const CommandInfo> Commands() { return kCommands; }

const CommandInfo* FindCommand(int id) {
  for (const CommandInfo& command : kCommands) {
    if (command.id == id) return &command;
  }
  return nullptr;
}

std::string CtrlShiftKey(const CommandInfo& command) {
  constexpr std::string_view kCtrl = "Ctrl+";
  const std::string_view key = command.key;
  if (key.size() != kCtrl.size() + 1 || key.substr(0, kCtrl.size()) != kCtrl) return {};
  const char letter = key.back();
  if (letter < 'A' || letter > 'Z') return {};
  std::string shifted = "Ctrl+Shift+";
  shifted += letter;
  for (const CommandInfo& other : kCommands) {
    if (other.key == shifted) return {};
  }
  return shifted;
}

}  // namespace tarnwick
