// qmtool: see QmToolCommands.h for the commands and their conventions.
#include <iostream>
#include <string>
#include <vector>

#include "tools/QmToolCommands.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  qm::tool::ToolContext io{std::cin, std::cout, std::cerr};
  const int status = qm::tool::RunTool(args, io);
  std::cout.flush();
  return std::cout.good() ? status : 2;
}
