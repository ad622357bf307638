// Command dispatch and option parsing shared by every program of the
// project (qmtool, quillora-manager, quillbrowse).
//
// A command is "PROGRAM GROUP VERB ARGS..." (or "PROGRAM GROUP ARGS..." for
// a group that is one command). A command reads UTF-8 arguments, writes
// UTF-8 (or bytes) to out, and reports bad input by raising ToolError,
// which the dispatcher turns into a one-line message on stderr and exit
// status 2. Every command answers --help with its usage.
#pragma once

#include <functional>
#include <iosfwd>
#include <map>
#include <set>
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
  std::string Verb;     // empty: the group is this one command
  std::string Usage;    // "qmtool commatext encode ITEM..."
  std::string Summary;  // one line
  std::string Details;  // further lines for --help, may be empty
  std::function<int(const std::vector<std::string>& args, ToolContext& io)> Run;
};

using CommandTable = std::vector<ToolCommand>;

// A program made of commands: its name, the synopsis and description its
// overview opens with, and its table.
struct TCommandProgram {
  std::string Name;         // "qmtool"
  std::string Synopsis;     // "GROUP VERB [ARGS...]"
  std::string Description;  // one line
  CommandTable Table;
};

// Runs "GROUP VERB ARGS..." (or "GROUP ARGS..." for a command whose Verb
// is empty, which is then the group's only command) from the program's
// table; answers the exit status: 2 for an unknown command or a failure.
// Nothing escapes.
int RunCommandTable(const TCommandProgram& program, const std::vector<std::string>& args,
                    ToolContext& io);

// The operands of a command that takes no options: everything after a
// leading "--" as it is; otherwise an argument that looks like an option
// ("-x", but not "-" alone) raises ToolError "unknown option -x".
std::vector<std::string> Operands(const std::vector<std::string>& args);

// The arguments of a command with options. An option that takes a value
// comes as "--name VALUE" or "--name=VALUE", a flag as "--name"; options
// may stand anywhere before "--", and everything else (with all after
// "--") is an operand, in order. "-" alone is an operand.
struct TToolArgs {
  std::map<std::string, std::string> Values;
  std::set<std::string> Flags;
  std::vector<std::string> Operands;

  bool Has(const std::string& option) const {
    return Values.count(option) > 0 || Flags.count(option) > 0;
  }
  std::string Value(const std::string& option, const std::string& fallback = {}) const {
    const auto found = Values.find(option);
    return found == Values.end() ? fallback : found->second;
  }
};

// Raises ToolError "unknown option --x" and "--x needs a value".
TToolArgs ParseToolArgs(const std::vector<std::string>& args,
                        const std::set<std::string>& withValue,
                        const std::set<std::string>& flags = {});

// Reads a whole file, or standard input for "" or "-"; raises ToolError.
std::string ReadInput(const std::string& path, ToolContext& io);

// A UTF-8 argument as text; raises ToolError for malformed UTF-8.
std::u16string ArgText(const std::string& arg);

}  // namespace qm::tool
