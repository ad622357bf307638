// qmtool's command table: every group of the tool, and the program around
// it. The dispatch itself (core/CommandLine) serves other programs too, so
// it names no group.
#include "tools/QmToolCommands.h"

namespace qm::tool {

CommandTable BuildCommandTable() {
  CommandTable table;
  RegisterCommaTextCommands(table);
  RegisterExtractCommands(table);
  RegisterFillCommands(table);
  RegisterLexiconCommands(table);
  RegisterTransitCommands(table);
  return table;
}

int RunTool(const std::vector<std::string>& args, ToolContext& io) {
  const TCommandProgram program{"qmtool", "GROUP VERB [ARGS...]",
                                "Tools over the Quillmate core. Every command answers --help.",
                                BuildCommandTable()};
  return RunCommandTable(program, args, io);
}

}  // namespace qm::tool
