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
