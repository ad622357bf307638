// quillora-manager: see ManagerCli.h for the commands.
#include <iostream>
#include <string>
#include <vector>

#include "manager/cli/ManagerCli.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  qm::tool::ToolContext io{std::cin, std::cout, std::cerr};
  const int status = qm::manager::cli::RunManager(args, io);
  std::cout.flush();
  return std::cout.good() ? status : 1;
}
