// The quillora-manager program's commands: the service (serve) and the
// subcommands people use to manage their data in the store directly.
//
// Every command takes --db PATH (default: TManagerStore::DefaultPath()),
// answers --help, prints UTF-8, and exits 0 on success, 2 on bad input
// (an unknown command or option, a missing or malformed argument, an
// unknown name, a malformed file) and 1 when the store or the system
// fails (a busy or damaged store, a full disk).
//
// Secrets come from standard input, never from the command line: a
// protected profile's values are shown or changed only with
// --password-stdin and its password on the first input line.
//
// Runs on the calling thread.
#pragma once

#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "manager/store/ManagerStore.h"
#include "core/CommandLine/CommandLine.h"

namespace qm::manager::cli {

using tool::CommandTable;
using tool::ToolContext;
using tool::ToolError;

inline constexpr const char* ProgramName = "quillora-manager";

// Runs "COMMAND [VERB] ARGS..." (argv without the program name).
int RunManager(const std::vector<std::string>& args, ToolContext& io);
CommandTable BuildManagerCommands();

void RegisterProfileCommands(CommandTable& table);
void RegisterCardCommands(CommandTable& table);
void RegisterDataCommands(CommandTable& table);
void RegisterServeCommand(CommandTable& table);

// One command's arguments: options with a value, flags, operands.
using TParsedArgs = tool::TToolArgs;

std::unique_ptr<TManagerStore> OpenStore(const TParsedArgs& args);

using tool::ArgText;  // a UTF-8 argument as text; ToolError for malformed UTF-8
std::string Utf8(const String& text);

// The profile named by --profile (the active one without it); ToolError
// for an unknown name.
TProfile ChosenProfile(TManagerStore& store, const TParsedArgs& args);
// Whether the profile's secrets may be shown or changed: it isn't
// protected, or --password-stdin gave its password. A wrong password
// raises ToolError.
bool Unlock(const TProfile& profile, const TParsedArgs& args, ToolContext& io);
// The next line of standard input, without its line end; ToolError at
// the end of the input.
std::string ReadSecretLine(ToolContext& io, const char* what);

// A command of the table. Its arguments are parsed before body runs:
// options come as "--name value" or "--name=value" (valueOptions; "--db"
// is always known) and as flags; everything after "--" is an operand. An
// unknown option, a missing value or an operand count outside
// [minOperands, maxOperands] is bad input. Failures of the store or the
// system end the command with status 1; bad input gives 2.
tool::ToolCommand Command(std::string group, std::string verb, std::string usage,
                          std::string summary, std::string details,
                          std::function<int(const TParsedArgs&, ToolContext&)> body,
                          size_t minOperands, size_t maxOperands,
                          std::initializer_list<const char*> valueOptions = {},
                          std::initializer_list<const char*> flags = {});

}  // namespace qm::manager::cli
