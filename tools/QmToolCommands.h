// qmtool's command table. A command is "qmtool GROUP VERB ARGS..."; each
// group's file registers its verbs with Register<Group>Commands (called
// from BuildCommandTable). The dispatch and the option parser are the
// project's shared ones (core/CommandLine).
#pragma once

#include <string>
#include <vector>

#include "core/CommandLine/CommandLine.h"

namespace qm::tool {

void RegisterCommaTextCommands(CommandTable& table);
void RegisterExtractCommands(CommandTable& table);
void RegisterFillCommands(CommandTable& table);
void RegisterLexiconCommands(CommandTable& table);
void RegisterTransitCommands(CommandTable& table);

CommandTable BuildCommandTable();


// Runs "GROUP VERB ARGS..." (argv without the program name); answers the
// exit status. Nothing escapes.
int RunTool(const std::vector<std::string>& args, ToolContext& io);

}  // namespace qm::tool
