// The texts a program tells about itself, all made from its command table:
// the overview (--help), one command's help, the "help" command, the
// manual page and the bash completion script. Internal to the dispatch
// (CommandLine.h declares what other code uses).
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "core/CommandLine/CommandLine.h"

namespace qm::tool {

void PrintOverview(const TCommandProgram& program, std::ostream& out);
void PrintCommandHelp(const ToolCommand& command, std::ostream& out);
// The usage lines of every verb of a group.
void PrintGroupUsage(const TCommandProgram& program, const std::string& group, std::ostream& out);

// "help", "help GROUP [VERB]", "help --man", "help --completion" (args:
// what follows "help").
int RunHelpCommand(const TCommandProgram& program, const std::vector<std::string>& args,
                   ToolContext& io);

// The options a usage line names ("[--kind formset|navigation|mail]"
// gives --kind with the values formset, navigation and mail; "[--stream]"
// a flag). Completion is made from these.
struct TUsageOption {
  std::string Name;
  bool TakesValue = false;
  std::vector<std::string> Choices;  // when the usage lists them with "|"
};
std::vector<TUsageOption> UsageOptions(const std::string& usage);

}  // namespace qm::tool
