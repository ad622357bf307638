// quillbrowse: see QuillbrowseCommands.h for the commands.
#include "host/QuillbrowseCommands.h"

int main(int argc, char** argv) {
  return qm::tool::RunProgramMain(argc, argv, [](const std::vector<std::string>& args, qm::tool::ToolContext& io) {
    return qm::host::RunQuillbrowse(args, io);
  });
}
