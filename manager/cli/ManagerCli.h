// The quillora-manager program's commands: the service (serve) and the
// subcommands people use to manage their data in the store directly.
//
// Every command takes --db PATH (default: TManagerStore::DefaultPath()),
// also before the command, answers --help, prints UTF-8, and exits 0 on
// success, 2 on bad input (an unknown command or option, a missing or
// malformed argument, an unknown name, a malformed file) and 1 when the
// operation failed or found nothing (a wrong password, a busy or damaged
// store, a full disk, a file the system refuses). A --db PATH that does
// not exist is made only by the commands that make a store (serve,
// profile add, import).
//
// Passwords are never arguments. With --password-stdin a password is read
// from standard input: at a terminal with a hidden prompt, else the first
// line. A command that cannot work without the password (changing a
// protected profile) also asks at a terminal without the option.
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
using tool::ToolFailure;

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

// The store of --db (or the default one). A --db file that does not exist
// is refused (ToolFailure) unless create is set.
std::unique_ptr<TManagerStore> OpenStore(const TParsedArgs& args, bool create = false);

using tool::ArgText;  // a UTF-8 argument as text; ToolError for malformed UTF-8
std::string Utf8(const String& text);

// The profile named by --profile (the active one without it); ToolError
// for an unknown name.
TProfile ChosenProfile(TManagerStore& store, const TParsedArgs& args);
// A password read for this command, wiped when it goes.
class TPassword {
public:
  explicit TPassword(String text) : text_(std::move(text)) {}
  ~TPassword();
  TPassword(const TPassword&) = delete;
  TPassword& operator=(const TPassword&) = delete;
  const String& Text() const noexcept { return text_; }

private:
  String text_;
};

// Reads a password: with --password-stdin or at a terminal (prompt shown
// there without echo), else ToolError telling to use --password-stdin.
std::unique_ptr<TPassword> ReadPassword(const TParsedArgs& args, ToolContext& io,
                                        const std::string& prompt, const std::string& what);

enum class TNeed { Optional, Required };
// Unlocks the profile in store for this command. Not protected: true.
// Protected: with --password-stdin (or, when need is Required, at a
// terminal) the password is read and must be right (else ToolFailure
// "wrong password for profile 'X'", exit 1); without it, Optional answers
// false and Required raises ToolError.
bool Unlock(TManagerStore& store, const TProfile& profile, const TParsedArgs& args,
            ToolContext& io, TNeed need);
// With --password-stdin: reads one password and unlocks every protected
// profile it opens (ToolFailure when it opens none). Without: nothing.
void UnlockWithGivenPassword(TManagerStore& store, const TParsedArgs& args, ToolContext& io);
// Tells on io.Err which protected profiles still hold data in clear.
void NoteProfilesAwaitingEncryption(TManagerStore& store, ToolContext& io);

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
