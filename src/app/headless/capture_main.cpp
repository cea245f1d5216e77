// tarnwick-capture: the capture with no window, as tarnwick --headless runs
// it, in a program that links Qt Core alone, for machines with no desktop.
#include "app/command_line.h"
#include "app/headless/headless_app.h"

int main(int argc, char** argv) {
  int exitStatus = 0;
  const std::optional<tarnwick::CommandLine> commandLine =
      tarnwick::StartFromCommandLine(argc, argv, tarnwick::Program::kCapture, &exitStatus);
  if (!commandLine) return exitStatus;
  return tarnwick::RunHeadless(argc, argv, *commandLine);
}
