// qmtool: see QmToolCommands.h for the commands and their conventions.
#include "tools/QmToolCommands.h"

int main(int argc, char** argv) {
  return qm::tool::RunProgramMain(argc, argv, qm::tool::RunTool);
}
