#include "core/CommandLine/CommandLine.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"

namespace qm::tool {
namespace {

void PrintOverview(const TCommandProgram& program, std::ostream& out) {
  out << "usage: " << program.Name << " " << program.Synopsis << "\n"
      << program.Description << "\n\n";
  for (const ToolCommand& c : program.Table) {
    out << "  " << c.Usage << "\n      " << c.Summary << "\n";
  }
}

void PrintHelp(const ToolCommand& c, std::ostream& out) {
  out << "usage: " << c.Usage << "\n" << c.Summary << "\n";
  if (!c.Details.empty()) out << "\n" << c.Details << "\n";
}

bool IsHelp(const std::string& a) {
  return a == "--help" || a == "-h";
}

// Runs one command with the arguments after its name; "--help" asks for
// help unless it comes after "--".
int RunCommand(const TCommandProgram& program, const ToolCommand& c, std::vector<std::string> rest,
               ToolContext& io) {
  for (const std::string& a : rest) {
    if (a == "--") break;
    if (IsHelp(a)) {
      PrintHelp(c, io.Out);
      return 0;
    }
  }
  const std::string name = program.Name + " " + c.Group + (c.Verb.empty() ? "" : " " + c.Verb);
  try {
    return c.Run(rest, io);
  } catch (const ToolError& e) {
    io.Err << name << ": " << e.what() << "\n";
    return 2;
  } catch (const std::exception& e) {
    // Our own exceptions carry CR LF and the location trail: one line.
    std::string message = e.what();
    for (char& ch : message) {
      if (ch == '\r' || ch == '\n') ch = ' ';
    }
    io.Err << name << ": " << message << "\n";
    return 2;
  }
}

}  // namespace

std::vector<std::string> Operands(const std::vector<std::string>& args) {
  if (!args.empty() && args[0] == "--") return {args.begin() + 1, args.end()};
  for (const std::string& a : args) {
    if (a.size() > 1 && a[0] == '-' && a != "--") throw ToolError("unknown option " + a);
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
      throw ToolError("unknown option " + name);
    }
  }
  return parsed;
}

std::string ReadInput(const std::string& path, ToolContext& io) {
  if (path.empty() || path == "-") {
    return std::string(std::istreambuf_iterator<char>(io.In), std::istreambuf_iterator<char>());
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) throw ToolError("cannot open " + path);
  std::ostringstream content;
  content << file.rdbuf();
  if (file.bad()) throw ToolError("cannot read " + path);
  return content.str();
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
  if (args.empty() || IsHelp(args[0])) {
    PrintOverview(program, args.empty() ? io.Err : io.Out);
    return args.empty() ? 2 : 0;
  }
  const std::string& group = args[0];
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
    return 2;
  }
  if (whole != nullptr) return RunCommand(program, *whole, {args.begin() + 1, args.end()}, io);
  if (args.size() < 2 || IsHelp(args[1])) {
    for (const ToolCommand& c : table) {
      if (c.Group == group) (args.size() < 2 ? io.Err : io.Out) << "usage: " << c.Usage << "\n";
    }
    return args.size() < 2 ? 2 : 0;
  }
  for (const ToolCommand& c : table) {
    if (c.Group == group && c.Verb == args[1]) {
      return RunCommand(program, c, {args.begin() + 2, args.end()}, io);
    }
  }
  io.Err << program.Name << ": unknown command '" << group << " " << args[1] << "' (try "
         << program.Name << " " << group << " --help)\n";
  return 2;
}

}  // namespace qm::tool
