#include "app/command_table.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <string_view>

namespace tarnwick {
namespace {

TEST(CommandTable, IdsAreUniqueAndFindable) {
  std::set<int> seen;
  for (const CommandInfo& command : Commands()) {
    EXPECT_TRUE(seen.insert(command.id).second) << command.id;
    EXPECT_EQ(FindCommand(command.id), &command);
  }
  EXPECT_EQ(FindCommand(12345), nullptr);
}

struct PromptCase {
  int id;
  const char* prompt;
  const char* tooltip;
};

// The status-bar prompt and tooltip of every command that has them; 139 and
// 151 have none.
TEST(CommandTable, PromptsAndTooltipsAsTheStringTableGivesThem) {
  const PromptCase cases[] = {
      {138, "Send data to RS232 device", "Send data"},
      {142, "Configure data interpretation", "Screen settings"},
      {146, "Configure your COM Port settings", "COM Port settings"},
      {147, "Clear screen", "Clear screen"},
      {57664, "Display program information, version number and copyright", "About"},
      {57665, "Quit the application; prompts to save documents", "Exit"},
      {139, "", ""},
      {151, "", ""},
  };
  for (const PromptCase& c : cases) {
    const CommandInfo* command = FindCommand(c.id);
    ASSERT_NE(command, nullptr) << c.id;
    EXPECT_EQ(command->prompt, c.prompt) << c.id;
    EXPECT_EQ(command->tooltip, c.tooltip) << c.id;
  }
}

// Every key in the table, and no key twice: a second command on a key would
// leave the key doing nothing (Qt calls it ambiguous).
TEST(CommandTable, KeysAsListedAndNoneTwice) {
  const std::map<int, std::string_view> keys = {
      {ID_COPY_ALL, "Ctrl+C"},
      {ID_HELP_TARNWICK, "F1"},
      {ID_LINE_PULSE_DTR, "Ctrl+Shift+R"},
      {ID_PORT_SETTINGS, "Ctrl+Shift+P"},
      {ID_SCREEN_SETTINGS, "Ctrl+Shift+S"},
      {ID_SEND, "Ctrl+Shift+T"},
      {ID_CLEAR_SCREEN, "Ctrl+L"},
      {ID_VIEW_PLOT, "Ctrl+Shift+G"},
      {ID_VIEW_OPTIONS, "Ctrl+Shift+O"},
      {ID_EDIT_FIND, "Ctrl+F"},
      {ID_EDIT_FIND_NEXT, "F3"},
      {ID_EDIT_FIND_PREVIOUS, "Shift+F3"},
      {ID_EDIT_COPY_SELECTION, "Ctrl+Shift+C"},
      {ID_EDIT_PASTE_TO_DEVICE, "Ctrl+Shift+V"},
  };
  std::set<std::string> used;
  for (const CommandInfo& command : Commands()) {
    const auto listed = keys.find(command.id);
    EXPECT_EQ(command.key, listed == keys.end() ? "" : listed->second) << command.id;
    if (!command.key.empty()) {
      EXPECT_TRUE(used.insert(std::string(command.key)).second) << command.key;
    }
  }
  // The second keys that typing into the view leaves to the view's commands.
  const std::map<int, std::string> shifted = {{ID_EDIT_FIND, "Ctrl+Shift+F"},
                                              {ID_CLEAR_SCREEN, "Ctrl+Shift+L"}};
  for (const CommandInfo& command : Commands()) {
    const auto listed = shifted.find(command.id);
    const std::string second = CtrlShiftKey(command);
    EXPECT_EQ(second, listed == shifted.end() ? "" : listed->second) << command.id;
    if (!second.empty()) {
      EXPECT_TRUE(used.insert(second).second) << second;
    }
  }
}

}  // namespace
}  // namespace tarnwick
