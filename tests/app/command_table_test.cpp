#include "app/command_table.h"

#include <gtest/gtest.h>

#include <set>

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

TEST(CommandTable, OnlyCopyAllHelpAndThePulseHaveKeys) {
  for (const CommandInfo& command : Commands()) {
    if (command.id == ID_COPY_ALL) {
      EXPECT_EQ(command.key, "Ctrl+C");
    } else if (command.id == ID_HELP_TARNWICK) {
      EXPECT_EQ(command.key, "F1");
    } else if (command.id == ID_LINE_PULSE_DTR) {
      EXPECT_EQ(command.key, "Ctrl+Shift+R");
    } else {
      EXPECT_TRUE(command.key.empty()) << command.id;
    }
  }
}

}  // namespace
}  // namespace tarnwick
