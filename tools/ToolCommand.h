// The command table of qmtool.
//
// A command is "qmtool GROUP VERB ARGS...". Each group's file registers its
// verbs with Register<Group>Commands (called from BuildCommandTable). A
// command reads UTF-8 arguments, writes UTF-8 (or bytes) to out, and
// reports bad input by raising ToolError, which the dispatcher turns into
// a one-line message on stderr and exit status 2. Every command answers
// --help with its usage.
#pragma once

#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

namespace qm::tool {

class ToolError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct ToolContext {
  std::istream& In;
  std::ostream& Out;
  std::ostream& Err;
};

struct ToolCommand {
  std::string Group;
  std::string Verb;
  std::string Usage;    // "qmtool commatext encode ITEM..."
  std::string Summary;  // one line
  std::string Details;  // further lines for --help, may be empty
  std::function<int(const std::vector<std::string>& args, ToolContext& io)> Run;
};

using CommandTable = std::vector<ToolCommand>;

void RegisterCommaTextCommands(CommandTable& table);
void RegisterLexiconCommands(CommandTable& table);
void RegisterTransitCommands(CommandTable& table);

CommandTable BuildCommandTable();

// Runs "GROUP VERB ARGS..." (argv without the program name); answers the
// exit status. Nothing escapes.
int RunTool(const std::vector<std::string>& args, ToolContext& io);

// The operands of a command that takes no options: everything after a
// leading "--" as it is; otherwise an argument that looks like an option
// ("-x", but not "-" alone) raises ToolError "unknown option -x".
std::vector<std::string> Operands(const std::vector<std::string>& args);

// Reads a whole file, or standard input for "" or "-"; raises ToolError.
std::string ReadInput(const std::string& path, ToolContext& io);

// A UTF-8 argument as text; raises ToolError for malformed UTF-8.
std::u16string ArgText(const std::string& arg);

}  // namespace qm::tool
