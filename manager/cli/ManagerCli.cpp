#include "manager/cli/ManagerCli.h"

#include <unistd.h>

#include <cerrno>
#include <istream>
#include <ostream>

#include "manager/recognition/DefaultContent.h"
#include "core/CommandLine/TerminalIO.h"
#include "manager/store/SqliteError.h"
#include "platform/rtl/OsError.h"
#include "platform/rtl/Utf.h"

namespace qm::manager::cli {

CommandTable BuildManagerCommands() {
  CommandTable table;
  RegisterServeCommand(table);
  RegisterProfileCommands(table);
  RegisterCardCommands(table);
  RegisterDataCommands(table);
  return table;
}

int RunManager(const std::vector<std::string>& args, ToolContext& io) {
  const tool::TCommandProgram program{
      ProgramName,
      "[--db PATH] COMMAND [VERB] [ARGS...]",
      "The Quillora Manager: the user's data server for Quillmate, and the commands that\n"
      "manage its store. Every command takes --db PATH (also before the command) and\n"
      "answers --help.",
      BuildManagerCommands(),
      {"--db"},
      {{"Files",
        "$XDG_DATA_HOME/quillora/manager.db, else ~/.local/share/quillora/manager.db: the\n"
        "store (mode 0600), with its journal beside it. --db PATH names another."},
       {"Environment", "XDG_DATA_HOME, HOME: where the store lives (see Files)."}}};
  return tool::RunCommandTable(program, args, io);
}

namespace {

TParsedArgs ParseWith(const std::vector<std::string>& args, size_t minOperands, size_t maxOperands,
                      std::set<std::string> withValue, const std::set<std::string>& flags) {
  withValue.insert("--db");
  TParsedArgs parsed = tool::ParseToolArgs(args, withValue, flags);
  if (parsed.Operands.size() < minOperands) throw ToolError("too few arguments (see --help)");
  if (parsed.Operands.size() > maxOperands) {
    throw ToolError("unexpected argument '" + parsed.Operands[maxOperands] + "' (see --help)");
  }
  return parsed;
}

}  // namespace

std::unique_ptr<TManagerStore> OpenStore(const TParsedArgs& args, bool create) {
  const std::string path = args.Value("--db", TManagerStore::DefaultPath());
  if (path.empty()) throw ToolError("--db needs a file name");
  // A misspelt --db must not quietly start an empty store: only the
  // commands that make a store make one (the default store is made on
  // first use).
  const bool mayCreate = create || !args.Has("--db");
  if (!mayCreate && access(path.c_str(), F_OK) != 0) {
    const int error = errno;
    if (error == ENOENT) {
      throw ToolFailure("no store at " + path +
                        " (serve, profile add and import make one)");
    }
    platform::RaiseOSError("cannot open the store " + path, error);
  }
  return std::make_unique<TManagerStore>(path, &DefaultContent(), mayCreate);
}

std::string Utf8(const String& text) {
  return platform::Utf16ToUtf8(text);
}

TProfile ChosenProfile(TManagerStore& store, const TParsedArgs& args) {
  return store.ProfileNamed(ArgText(args.Value("--profile")));
}

TPassword::~TPassword() {
  tool::WipeSecret(text_);
}

std::unique_ptr<TPassword> ReadPassword(const TParsedArgs& args, ToolContext& io,
                                        const std::string& prompt, const std::string& what) {
  if (!args.Has("--password-stdin") && !io.InIsTerminal) {
    throw ToolError("the " + what + " is needed: give it with --password-stdin (see --help)");
  }
  tool::TSecretString line(tool::ReadSecretLine(io, prompt, what));
  return std::make_unique<TPassword>(ArgText(line.Text()));
}

bool Unlock(TManagerStore& store, const TProfile& profile, const TParsedArgs& args,
            ToolContext& io, TNeed need) {
  if (!profile.Protected() || store.HasKey(profile.Id)) return true;
  const bool ask = args.Has("--password-stdin") || (need == TNeed::Required && io.InIsTerminal);
  if (!ask) {
    if (need == TNeed::Optional) return false;
    throw ToolError("profile '" + Utf8(profile.Name) +
                    "' is protected: give its password with --password-stdin");
  }
  const auto password = ReadPassword(args, io, "Password of profile '" + Utf8(profile.Name) + "': ",
                                     "password");
  if (!store.Unlock(profile.Id, password->Text())) {
    throw ToolFailure("wrong password for profile '" + Utf8(profile.Name) + "'");
  }
  return true;
}

void UnlockWithGivenPassword(TManagerStore& store, const TParsedArgs& args, ToolContext& io) {
  if (!args.Has("--password-stdin")) return;
  const auto password = ReadPassword(args, io, "Password: ", "password");
  bool anyProtected = false;
  bool opened = false;
  for (const TProfile& profile : store.Profiles()) {
    if (!profile.Protected()) continue;
    anyProtected = true;
    opened = store.Unlock(profile.Id, password->Text()) || opened;
  }
  if (anyProtected && !opened) throw ToolFailure("the password is wrong for every profile");
}

void NoteProfilesAwaitingEncryption(TManagerStore& store, ToolContext& io) {
  for (const TProfile& profile : store.ProfilesAwaitingEncryption()) {
    io.Err << "note: profile '" << Utf8(profile.Name)
           << "' is protected but not yet encrypted; giving its password once (for example "
              "profile show --password-stdin) encrypts it\n";
  }
}

tool::ToolCommand Command(std::string group, std::string verb, std::string usage,
                          std::string summary, std::string details,
                          std::function<int(const TParsedArgs&, ToolContext&)> body,
                          size_t minOperands, size_t maxOperands,
                          std::initializer_list<const char*> valueOptions,
                          std::initializer_list<const char*> flags) {
  const std::set<std::string> values(valueOptions.begin(), valueOptions.end());
  const std::set<std::string> flagSet(flags.begin(), flags.end());
  const std::string name =
      std::string(ProgramName) + " " + group + (verb.empty() ? "" : " " + verb);
  auto run = [=](const std::vector<std::string>& args, ToolContext& io) -> int {
    const TParsedArgs parsed = ParseWith(args, minOperands, maxOperands, values, flagSet);
    try {
      return body(parsed, io);
    } catch (const EStoreError& e) {
      using Kind = EStoreError::Kind;
      const Kind kind = e.ErrorKind();
      const bool badInput = kind == Kind::Invalid || kind == Kind::NotFound ||
                            kind == Kind::Constraint || kind == Kind::Locked;
      io.Err << name << ": " << Utf8(e.Message()) << "\n";
      return badInput ? tool::ExitUsage : tool::ExitFailure;
    }
  };
  return {std::move(group),   std::move(verb),    std::move(usage),
          std::move(summary), std::move(details), run};
}

}  // namespace qm::manager::cli
