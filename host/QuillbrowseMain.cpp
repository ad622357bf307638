// quillbrowse: see QuillbrowseCommands.h for the commands.
#include <iostream>
#include <string>
#include <vector>

#include "host/QuillbrowseCommands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  qm::tool::ToolContext io{std::cin, std::cout, std::cerr};
  const int status = qm::host::RunQuillbrowse(args, io);
  std::cout.flush();
  return std::cout.good() ? status : 1;
}
