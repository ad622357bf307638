#include "manager/cli/ManagerCli.h"

#include <istream>
#include <ostream>

#include "manager/recognition/DefaultContent.h"
#include "manager/store/PasswordHash.h"
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

std::unique_ptr<TManagerStore> OpenStore(const TParsedArgs& args) {
  const std::string path = args.Value("--db", TManagerStore::DefaultPath());
  if (path.empty()) throw ToolError("--db needs a file name");
  return std::make_unique<TManagerStore>(path, &DefaultContent());
}

std::string Utf8(const String& text) {
  return platform::Utf16ToUtf8(text);
}

TProfile ChosenProfile(TManagerStore& store, const TParsedArgs& args) {
  return store.ProfileNamed(ArgText(args.Value("--profile")));
}

std::string ReadSecretLine(ToolContext& io, const char* what) {
  std::string line;
  if (!std::getline(io.In, line)) throw ToolError(std::string("no ") + what + " on standard input");
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

bool Unlock(const TProfile& profile, const TParsedArgs& args, ToolContext& io) {
  if (!profile.Protected()) return true;
  if (!args.Has("--password-stdin")) return false;
  if (!VerifyPassword(profile.PasswordHash, ArgText(ReadSecretLine(io, "password")))) {
    throw ToolError("wrong password for profile '" + Utf8(profile.Name) + "'");
  }
  return true;
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
      if (kind == Kind::Invalid || kind == Kind::NotFound || kind == Kind::Constraint) throw;
      io.Err << name << ": " << Utf8(e.Message()) << "\n";
      return 1;
    } catch (const platform::EOSError& e) {
      io.Err << name << ": " << Utf8(e.Message()) << "\n";
      return 1;
    }
  };
  return {std::move(group),   std::move(verb),    std::move(usage),
          std::move(summary), std::move(details), run};
}

}  // namespace qm::manager::cli
