// The commands of quillbrowse, the browser host:
//   quillbrowse run [OPTIONS] SCRIPT        a scripted session with a transcript
//   quillbrowse open [OPTIONS] URL          an interactive session at the terminal
//   quillbrowse addon register LIB          the library registers itself
//   quillbrowse addon unregister LIB        ... and unregisters
//   quillbrowse addon list                  the helper objects in the registry
// OPTIONS: --engine memdom|chromium, --headful, --registry FILE,
// --timeout SECONDS, --serve DIR. Options with a value may also stand
// before the command.
#pragma once

#include <string>
#include <vector>

#include "core/CommandLine/CommandLine.h"

namespace qm::host {

// Runs the program's command line; answers the exit status. Nothing
// escapes.
int RunQuillbrowse(std::vector<std::string> args, tool::ToolContext& io);

}  // namespace qm::host
