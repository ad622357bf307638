#include "core/CommandLine/CommandLine.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <iterator>
#include <sstream>

#include "core/CommandLine/CommandHelp.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/OsError.h"
#include "platform/rtl/Utf.h"

#ifndef QM_PROJECT_VERSION
#define QM_PROJECT_VERSION "unknown"
#endif

namespace qm::tool {
namespace {

bool IsHelp(const std::string& a) {
  return a == "--help" || a == "-h";
}

// Our own exceptions carry CR LF and the location trail: one line.
std::string OneLine(std::string message) {
  for (char& ch : message) {
    if (ch == '\r' || ch == '\n') ch = ' ';
  }
  return message;
}

// Runs one command with the arguments after its name; "--help" asks for
// help unless it comes after "--".
int RunCommand(const TCommandProgram& program, const ToolCommand& c, std::vector<std::string> rest,
               ToolContext& io) {
  for (const std::string& a : rest) {
    if (a == "--") break;
    if (IsHelp(a)) {
      PrintCommandHelp(c, io.Out);
      return ExitSuccess;
    }
  }
  const std::string name = program.Name + " " + c.Group + (c.Verb.empty() ? "" : " " + c.Verb);
  try {
    return c.Run(rest, io);
  } catch (const ToolError& e) {
    io.Err << name << ": " << e.what() << "\n";
    return ExitUsage;
  } catch (const ToolFailure& e) {
    io.Err << name << ": " << OneLine(e.what()) << "\n";
    return ExitFailure;
  } catch (const platform::EOSError& e) {
    io.Err << name << ": " << OneLine(e.what()) << "\n";
    return ExitFailure;
  } catch (const std::bad_alloc&) {
    io.Err << name << ": out of memory\n";
    return ExitFailure;
  } catch (const std::exception& e) {
    io.Err << name << ": " << OneLine(e.what()) << "\n";
    return ExitUsage;
  }
}

// An argument that begins with "-" but is no option of ours: a value such
// as "-5" or "-x y" is meant more often than a misspelt option.
std::string UnknownOption(const std::string& arg) {
  const std::string name = arg.substr(0, arg.find('='));
  bool plainOption = name.size() > 2 && name.compare(0, 2, "--") == 0;
  for (size_t i = 2; plainOption && i < name.size(); ++i) {
    const char c = name[i];
    plainOption = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9' && i > 2) || (c == '-' && i > 2);
  }
  if (plainOption) return "unknown option " + name;
  return "unknown option " + arg + " (a value that begins with '-' goes after '--': -- " + arg +
         ")";
}

// Splits "--name=value" or "--name value" off args at i; false when args[i]
// isn't one of names.
bool TakeValueOption(const std::vector<std::string>& args, size_t& i,
                     const std::vector<std::string>& names, std::vector<std::string>& taken) {
  const std::string& a = args[i];
  const std::string name = a.substr(0, a.find('='));
  bool known = false;
  for (const std::string& n : names) known = known || n == name;
  if (!known) return false;
  if (name.size() < a.size()) {
    taken.push_back(a);
  } else if (i + 1 < args.size()) {
    taken.push_back(a);
    taken.push_back(args[++i]);
  } else {
    throw ToolError(name + " needs a value");
  }
  return true;
}

}  // namespace

std::string ProjectVersion() {
  return QM_PROJECT_VERSION;
}

std::vector<std::string> Operands(const std::vector<std::string>& args) {
  if (!args.empty() && args[0] == "--") return {args.begin() + 1, args.end()};
  for (const std::string& a : args) {
    if (a.size() > 1 && a[0] == '-' && a != "--") throw ToolError(UnknownOption(a));
  }
  return args;
}

TToolArgs ParseToolArgs(const std::vector<std::string>& args,
                        const std::set<std::string>& withValue,
                        const std::set<std::string>& flags) {
  TToolArgs parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--") {
      parsed.Operands.insert(parsed.Operands.end(), args.begin() + static_cast<long>(i) + 1,
                             args.end());
      break;
    }
    if (a.size() < 2 || a[0] != '-') {
      parsed.Operands.push_back(a);
      continue;
    }
    const size_t eq = a.find('=');
    const std::string name = a.substr(0, eq);
    if (withValue.count(name) > 0) {
      if (eq != std::string::npos) {
        parsed.Values[name] = a.substr(eq + 1);
      } else if (i + 1 < args.size()) {
        parsed.Values[name] = args[++i];
      } else {
        throw ToolError(name + " needs a value");
      }
    } else if (eq == std::string::npos && flags.count(name) > 0) {
      parsed.Flags.insert(name);
    } else {
      throw ToolError(UnknownOption(a));
    }
  }
  return parsed;
}

std::string ReadInputUpTo(const std::string& path, ToolContext& io, size_t maxBytes,
                          const std::string& what) {
  std::string content;
  const auto append = [&](const char* bytes, size_t n) {
    if (content.size() + n > maxBytes) {
      throw ToolError(what + " is longer than " + std::to_string(maxBytes) + " bytes");
    }
    content.append(bytes, n);
  };
  char buffer[65536];
  if (path.empty() || path == "-") {
    while (io.In) {
      io.In.read(buffer, sizeof buffer);
      append(buffer, static_cast<size_t>(io.In.gcount()));
    }
    if (io.In.bad()) platform::RaiseOSError("cannot read standard input", EIO);
    return content;
  }
  // The system's own calls, so that a failure names the system's reason.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) platform::RaiseOSError("cannot open " + path);
  struct TClose {
    int Fd;
    ~TClose() { close(Fd); }
  } closer{fd};
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) platform::RaiseOSError("cannot read " + path);
    if (n == 0) break;
    append(buffer, static_cast<size_t>(n));
  }
  return content;
}

std::string ReadInput(const std::string& path, ToolContext& io) {
  return ReadInputUpTo(path, io, static_cast<size_t>(-1) / 2,
                       path.empty() || path == "-" ? "standard input" : path);
}

std::u16string ArgText(const std::string& arg) {
  try {
    return platform::Utf8ToUtf16Strict(arg);
  } catch (const platform::Exception& e) {
    throw ToolError(e.what());
  }
}

int RunCommandTable(const TCommandProgram& program, const std::vector<std::string>& args,
                    ToolContext& io) {
  const CommandTable& table = program.Table;
  // Options before the command: --help, --version and the global ones.
  std::vector<std::string> globals;
  size_t first = 0;
  try {
    for (; first < args.size() && args[first].size() > 1 && args[first][0] == '-'; ++first) {
      const std::string& a = args[first];
      if (IsHelp(a)) {
        PrintOverview(program, io.Out);
        return ExitSuccess;
      }
      if (a == "--version") {
        io.Out << program.Name << " (Quillmate) " << ProjectVersion() << "\n";
        return ExitSuccess;
      }
      if (!TakeValueOption(args, first, program.GlobalOptions, globals)) {
        throw ToolError(UnknownOption(a) + " (try " + program.Name + " --help)");
      }
    }
  } catch (const ToolError& e) {
    io.Err << program.Name << ": " << e.what() << "\n";
    return ExitUsage;
  }
  if (first == args.size()) {
    PrintOverview(program, io.Err);
    return ExitUsage;
  }
  const std::string& group = args[first];
  if (group == "help") return RunHelpCommand(program, {args.begin() + first + 1, args.end()}, io);
  // The command's own arguments, with the global options first.
  const auto withGlobals = [&](size_t from) {
    std::vector<std::string> rest = globals;
    rest.insert(rest.end(), args.begin() + static_cast<long>(from), args.end());
    return rest;
  };
  const ToolCommand* whole = nullptr;  // a group that is one command
  bool groupKnown = false;
  for (const ToolCommand& c : table) {
    if (c.Group != group) continue;
    groupKnown = true;
    if (c.Verb.empty()) whole = &c;
  }
  if (!groupKnown) {
    io.Err << program.Name << ": unknown command '" << group << "' (try " << program.Name
           << " --help)\n";
    return ExitUsage;
  }
  if (whole != nullptr) return RunCommand(program, *whole, withGlobals(first + 1), io);
  if (args.size() < first + 2 || IsHelp(args[first + 1])) {
    PrintGroupUsage(program, group, args.size() < first + 2 ? io.Err : io.Out);
    return args.size() < first + 2 ? ExitUsage : ExitSuccess;
  }
  for (const ToolCommand& c : table) {
    if (c.Group == group && c.Verb == args[first + 1]) {
      return RunCommand(program, c, withGlobals(first + 2), io);
    }
  }
  io.Err << program.Name << ": unknown command '" << group << " " << args[first + 1] << "' (try "
         << program.Name << " " << group << " --help)\n";
  return ExitUsage;
}

}  // namespace qm::tool
