#include "host/QuillbrowseCommands.h"

#include <ostream>

#include "host/AddonLoader.h"
#include "host/Session.h"
#include "platform/registry/Registry.h"
#include "platform/rtl/Utf.h"

namespace qm::host {

namespace {

using tool::ToolCommand;
using tool::ToolContext;
using tool::ToolError;

const std::set<std::string> SessionValues = {"--engine", "--registry", "--timeout", "--serve"};
const std::set<std::string> SessionFlags = {"--headful"};

constexpr char SessionOptionsHelp[] =
    "options:\n"
    "  --engine E        memdom (built in, the default) or chromium\n"
    "  --headful         show the engine's own window (chromium)\n"
    "  --registry FILE   the registry file (default: $XDG_CONFIG_HOME/quillmate/registry)\n"
    "  --timeout SECONDS give up after this long (run: 600 by default; open: no limit)\n"
    "  --serve DIR       serve DIR on 127.0.0.1; addresses may start with {serve}\n";

TSessionOptions SessionOptionsOf(const tool::TToolArgs& parsed) {
  TSessionOptions options;
  options.Engine = parsed.Value("--engine", "memdom");
  options.Headful = parsed.Has("--headful");
  options.Registry = parsed.Value("--registry");
  options.Serve = parsed.Value("--serve");
  if (parsed.Has("--timeout")) {
    const std::string text = parsed.Value("--timeout");
    int seconds = 0;
    for (char c : text) {
      if (c < '0' || c > '9' || seconds > 1000000) throw ToolError("--timeout needs a number of seconds");
      seconds = seconds * 10 + (c - '0');
    }
    if (text.empty() || seconds <= 0) throw ToolError("--timeout needs a number of seconds");
    options.TimeoutSeconds = seconds;
  }
  if (options.Engine != "memdom" && options.Engine != "chromium") {
    throw ToolError("unknown engine '" + options.Engine + "' (memdom or chromium)");
  }
  return options;
}

int Run(const std::vector<std::string>& args, ToolContext& io) {
  const auto parsed = tool::ParseToolArgs(args, SessionValues, SessionFlags);
  if (parsed.Operands.size() != 1) throw ToolError("run needs one SCRIPT");
  return RunScriptSession(SessionOptionsOf(parsed), parsed.Operands[0], io);
}

int Open(const std::vector<std::string>& args, ToolContext& io) {
  const auto parsed = tool::ParseToolArgs(args, SessionValues, SessionFlags);
  if (parsed.Operands.size() != 1) throw ToolError("open needs one URL");
  return RunInteractiveSession(SessionOptionsOf(parsed), parsed.Operands[0], io);
}

// The registry commands share --registry; a damaged registry is bad input.
template <class Body>
int WithRegistry(const tool::TToolArgs& parsed, ToolContext& io, Body&& body) {
  if (parsed.Has("--registry")) platform::SetRegistryFile(parsed.Value("--registry"));
  try {
    return body();
  } catch (const platform::ERegistryException& e) {
    io.Err << "quillbrowse: " << e.what() << "\n";
    return 2;
  } catch (const platform::Exception& e) {
    io.Err << "quillbrowse: " << e.what() << "\n";
    return 1;
  }
}

int Register(const std::vector<std::string>& args, ToolContext& io, bool reg) {
  const auto parsed = tool::ParseToolArgs(args, {"--registry"});
  if (parsed.Operands.size() != 1) throw ToolError(std::string(reg ? "register" : "unregister") + " needs one LIB");
  return WithRegistry(parsed, io, [&] {
    RegisterLibrary(parsed.Operands[0], reg);
    io.Out << (reg ? "registered " : "unregistered ") << parsed.Operands[0] << " in "
           << platform::RegistryFile() << "\n";
    return 0;
  });
}

int List(const std::vector<std::string>& args, ToolContext& io) {
  const auto parsed = tool::ParseToolArgs(args, {"--registry"});
  if (!parsed.Operands.empty()) throw ToolError("list takes no operands");
  return WithRegistry(parsed, io, [&] {
    const auto classes = ListHelperObjectClasses();
    for (const auto& c : classes) {
      io.Out << platform::GuidToAscii(c.Clsid) << "  " << platform::U8(c.Name) << "  "
             << (c.Library.empty() ? "(no library)" : c.Library) << (c.LibraryExists || c.Library.empty() ? "" : "  (missing)")
             << "\n";
    }
    return classes.empty() ? 1 : 0;
  });
}

tool::TCommandProgram Program() {
  tool::TCommandProgram program;
  program.Name = "quillbrowse";
  program.Synopsis = "COMMAND [ARGS...]";
  program.Description = "the browser host: loads the registered add-ons and browses with them";
  // "quillbrowse --serve DIR run SCRIPT" is "quillbrowse run --serve DIR SCRIPT".
  program.GlobalOptions = {"--engine", "--registry", "--timeout", "--serve"};
  program.Sections = {
      {"FILES", "$XDG_CONFIG_HOME/quillmate/registry (~/.config/quillmate/registry): the registry, unless\n"
                "--registry names another file."},
      {"EXIT STATUS", "0 every command done and every expectation held; 1 a command or expectation\n"
                      "failed, or the session timed out; 2 a bad script, option or registry file."},
  };
  program.Table = {
      {"run", "", "quillbrowse run [OPTIONS] SCRIPT",
       "run a scripted browsing session and print its transcript",
       std::string("Exit status: 0 every expectation held, 1 one failed (the line is named), 2 a bad "
                   "script or option.\nThe script language is described in host/README.md.\n") +
           SessionOptionsHelp,
       Run},
      {"open", "", "quillbrowse open [OPTIONS] URL",
       "browse interactively: the script commands typed at a prompt, dialogs at the terminal",
       SessionOptionsHelp, Open},
      {"addon", "register", "quillbrowse addon register [--registry FILE] LIB",
       "load LIB and let it register its classes", "", [](auto& a, auto& io) { return Register(a, io, true); }},
      {"addon", "unregister", "quillbrowse addon unregister [--registry FILE] LIB",
       "load LIB and let it remove its registration", "",
       [](auto& a, auto& io) { return Register(a, io, false); }},
      {"addon", "list", "quillbrowse addon list [--registry FILE]",
       "list the registered helper objects and their libraries (exit 1 when none)", "", List},
  };
  return program;
}

}  // namespace

int RunQuillbrowse(std::vector<std::string> args, ToolContext& io) {
  return tool::RunCommandTable(Program(), args, io);
}

}  // namespace qm::host
