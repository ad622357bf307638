// quillora-manager: see ManagerCli.h for the commands.
#include "manager/cli/ManagerCli.h"

int main(int argc, char** argv) {
  return qm::tool::RunProgramMain(argc, argv, qm::manager::cli::RunManager);
}
