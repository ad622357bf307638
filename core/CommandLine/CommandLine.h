// Command dispatch and option parsing shared by every program of the
// project (qmtool, quillora-manager, quillbrowse).
//
// A command is "PROGRAM GROUP VERB ARGS..." (or "PROGRAM GROUP ARGS..." for
// a group that is one command). A command reads UTF-8 arguments, writes
// UTF-8 (or bytes) to out, and ends with an exit status that means the
// same in every program:
//   0  success;
//   1  the operation ran and failed, or found nothing (ToolFailure, a
//      file or the system refusing: EOSError, with the system's reason);
//   2  bad usage or bad input (ToolError, and any other exception).
// The dispatcher turns an exception into one line on stderr, prefixed with
// the command's name. Every program answers --help, --version and
// "help [COMMAND]"; "help --man" writes its manual page and
// "help --completion" its bash completion, both made from the same texts
// as --help.
#pragma once

#include <functional>
#include <iosfwd>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace qm::tool {

inline constexpr int ExitSuccess = 0;
inline constexpr int ExitFailure = 1;
inline constexpr int ExitUsage = 2;

// Bad usage or bad input: exit status 2.
class ToolError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The operation ran and failed, or found nothing: exit status 1.
class ToolFailure : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct ToolContext {
  std::istream& In;
  std::ostream& Out;
  std::ostream& Err;
  // Whether standard input and standard error are terminals: a password
  // is then asked for without echo, and progress updates one line in
  // place. RunProgramMain sets them; tests leave them false.
  bool InIsTerminal = false;
  bool ErrIsTerminal = false;
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

// A section of the manual page (and of the overview --help prints) beyond
// the commands: "FILES", "ENVIRONMENT", "EXAMPLES"...
struct TManSection {
  std::string Title;
  std::string Text;  // plain lines; a line that begins with two spaces stays as it is
};

// A program made of commands: its name, the synopsis and description its
// overview opens with, and its table.
struct TCommandProgram {
  std::string Name;         // "qmtool"
  std::string Synopsis;     // "GROUP VERB [ARGS...]"
  std::string Description;  // one line or a few
  CommandTable Table;
  // Options with a value that may also stand before the command
  // ("quillora-manager --db X profile list"): they reach the command as
  // if given after it.
  std::vector<std::string> GlobalOptions = {};
  std::vector<TManSection> Sections = {};
};

// The version of the project every program reports ("0.1.0").
std::string ProjectVersion();

// Runs "GROUP VERB ARGS..." (or "GROUP ARGS..." for a command whose Verb
// is empty, which is then the group's only command) from the program's
// table, after the program's global options, --help, --version or
// "help ..."; answers the exit status. Nothing escapes.
int RunCommandTable(const TCommandProgram& program, const std::vector<std::string>& args,
                    ToolContext& io);

// A program's main(): the arguments after the program name, standard
// streams with their terminal flags; answers the exit status, 1 when
// standard output could not be written.
int RunProgramMain(int argc, char** argv,
                   const std::function<int(const std::vector<std::string>&, ToolContext&)>& run);

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

// Raises ToolError "unknown option --x" and "--x needs a value". An
// operand that merely begins with "-" ("-5", "-x y") is taken for an
// unknown option; its message says to put it after "--".
TToolArgs ParseToolArgs(const std::vector<std::string>& args,
                        const std::set<std::string>& withValue,
                        const std::set<std::string>& flags = {});

// Reads a whole file, or standard input for "" or "-". A file that cannot
// be opened or read raises EOSError with the system's reason (status 1).
std::string ReadInput(const std::string& path, ToolContext& io);
// The same with a cap: more than maxBytes raises ToolError naming what
// was read ("the value") and the cap.
std::string ReadInputUpTo(const std::string& path, ToolContext& io, size_t maxBytes,
                          const std::string& what);

// A UTF-8 argument as text; raises ToolError for malformed UTF-8.
std::u16string ArgText(const std::string& arg);

// The manual page (roff, section 1) and the bash completion script of a
// program, made from its table.
void WriteManPage(const TCommandProgram& program, std::ostream& out);
void WriteBashCompletion(const TCommandProgram& program, std::ostream& out);

}  // namespace qm::tool
