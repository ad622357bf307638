// Running qmtool commands in-process from tests.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "tools/QmToolCommands.h"

namespace qm::tool {

struct ToolRun {
  int Status = 0;
  std::string Out;
  std::string Err;
};

inline ToolRun RunToolCapture(const std::vector<std::string>& args, const std::string& input = {}) {
  std::istringstream in(input);
  std::ostringstream out, err;
  ToolContext io{in, out, err};
  const int status = RunTool(args, io);
  return {status, out.str(), err.str()};
}

}  // namespace qm::tool
