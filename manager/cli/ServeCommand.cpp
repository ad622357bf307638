// quillora-manager serve.
#include <ostream>

#include "core/Common/TextUtils.h"
#include "manager/cli/ManagerCli.h"
#include "manager/service/ManagerService.h"

namespace qm::manager::cli {
namespace {

int Serve(const TParsedArgs& args, ToolContext& io) {
  TServeOptions options;
  options.StorePath = args.Value("--db", TManagerStore::DefaultPath());
  if (args.Has("--poll")) {
    int32_t ms = 0;
    if (!TryTextToInt(ArgText(args.Value("--poll")), ms) || ms < 10 || ms > 60000) {
      throw ToolError("--poll must be from 10 to 60000 milliseconds");
    }
    options.PollInterval = std::chrono::milliseconds(ms);
  }
  return RunManagerService(options, io.Err);
}

}  // namespace

void RegisterServeCommand(CommandTable& table) {
  table.push_back(
      Command("serve", "", std::string(ProgramName) + " serve [--db PATH] [--poll MS]",
              "Runs the manager on the session bus until SIGTERM or SIGINT.",
              "Owns the bus name org.quillora.Manager (object /org/quillora/Manager, interface\n"
              "org.quillora.Manager1) and answers the add-on's calls. Changes made with the other\n"
              "commands while it runs are noticed within MS milliseconds (default 500) and\n"
              "announced to the add-on. Logs to standard error; exits 1 when another manager\n"
              "already runs or the bus goes away.",
              Serve, 0, 0, {"--poll"}));
}

}  // namespace qm::manager::cli
