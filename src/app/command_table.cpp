#include "app/command_table.h"

#include <array>

namespace tarnwick {
namespace {

constexpr std::array kCommands = {
    CommandInfo{ID_PORT_SETTINGS, "&Port settings", "Configure your COM Port settings",
                "COM Port settings", ""},
    CommandInfo{ID_SCREEN_SETTINGS, "&Screen Settings", "Configure data interpretation",
                "Screen settings", ""},
    CommandInfo{ID_SEND, "&Send", "Send data to RS232 device", "Send data", ""},
    CommandInfo{ID_APP_EXIT, "E&xit", "Quit the application; prompts to save documents", "Exit",
                ""},
    CommandInfo{ID_COPY_ALL, "Copy All", "", "", "Ctrl+C"},
    CommandInfo{ID_VIEW_TOOLBAR, "&Toolbar", "", "", ""},
    CommandInfo{ID_VIEW_STATUS_BAR, "&Status Bar", "", "", ""},
    CommandInfo{ID_CLEAR_SCREEN, "Clear", "Clear screen", "Clear screen", ""},
    CommandInfo{ID_VIEW_OPTIONS, "&Options...", "Timestamps and line breaks after pauses", "", ""},
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

}  // namespace tarnwick
