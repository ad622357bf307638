// A browsing session of quillbrowse: everything between the command line
// and the window. It points the process at the registry, starts the
// loopback server when asked, loads the helper object classes the registry
// names, notes (once) when Quillora Manager is not running, opens one
// browser window on its own thread with the engine asked for, and runs a
// script in it (RunScriptSession) or the commands a person types
// (RunInteractiveSession). Everything it started is stopped before it
// returns; nothing of the user's (manager, bus, store) is ever started.
//
// Exit statuses: 0 every command done and every expectation held; 1 a
// command failed (the transcript names the line, what was expected and what
// was there) or the session timed out; 2 a bad script, a bad option, a
// damaged registry file.
//
// Called on the program's main thread.
#pragma once

#include <string>

#include "core/CommandLine/CommandLine.h"

namespace qm::host {

struct TSessionOptions {
  std::string Engine = "memdom";
  bool Headful = false;
  std::string Registry;     // empty: the user's registry
  int TimeoutSeconds = 0;   // for the whole session; 0: run's default, no limit for open
  std::string Serve;        // a folder to serve on the loopback; empty: none
};

int RunScriptSession(const TSessionOptions& options, const std::string& scriptPath, tool::ToolContext& io);
int RunInteractiveSession(const TSessionOptions& options, const std::string& url, tool::ToolContext& io);

// A script session's limit when none is given.
inline constexpr int DefaultScriptTimeoutSeconds = 600;

// The one sentence said when no manager runs.
inline constexpr char ManagerNotRunning[] =
    "Quillora Manager is not running: pages are shown but not processed";

}  // namespace qm::host
