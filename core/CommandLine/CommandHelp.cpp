#include "core/CommandLine/CommandHelp.h"

#include <algorithm>
#include <cctype>
#include <ostream>
#include <set>
#include <sstream>

namespace qm::tool {
namespace {

constexpr const char* ExitStatusLine =
    "Exit status: 0 success, 1 the operation failed or found nothing, 2 bad usage or input.";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// --- Manual page ---------------------------------------------------------

// Text as roff takes it: backslashes and hyphens escaped (a plain "-" may
// be set as a hyphen, and options must stay minus signs), and a line that
// would begin with a control character made safe.
std::string Roff(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
  return out;
}

// Hand-wrapped lines become one paragraph that roff fills again; lines
// indented by two spaces stay as they are; a blank line starts a new
// paragraph (with paragraphMacro).
void RoffParagraphs(const std::string& text, const char* paragraphMacro, std::ostream& out) {
  bool literal = false;
  bool started = false;
  for (const std::string& line : Lines(text)) {
    if (line.empty()) {
      if (literal) out << ".fi\n";
      literal = false;
      if (started) out << paragraphMacro << "\n";
      continue;
    }
    const bool indented = line.compare(0, 2, "  ") == 0;
    if (indented && !literal) out << ".nf\n";
    if (!indented && literal) out << ".fi\n";
    literal = indented;
    out << Roff(line) << "\n";
    started = true;
  }
  if (literal) out << ".fi\n";
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// --- Completion ------------------------------------------------------------

std::string ShellWord(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

std::string Joined(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
  return out;
}

std::string FunctionName(const std::string& program) {
  std::string name = "_qm_complete_";
  for (char c : program) name += (std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
  return name;
}

}  // namespace

void PrintOverview(const TCommandProgram& program, std::ostream& out) {
  out << "usage: " << program.Name << " " << program.Synopsis << "\n"
      << "       " << program.Name << " help [COMMAND] | --help | --version\n"
      << program.Description << "\n\n";
  for (const ToolCommand& c : program.Table) {
    out << "  " << c.Usage << "\n      " << c.Summary << "\n";
  }
  for (const TManSection& section : program.Sections) {
    out << "\n" << section.Title << ":\n";
    for (const std::string& line : Lines(section.Text)) {
      out << (line.empty() ? "" : "  ") << line << "\n";
    }
  }
  out << "\n" << ExitStatusLine << "\n";
}

void PrintCommandHelp(const ToolCommand& c, std::ostream& out) {
  out << "usage: " << c.Usage << "\n" << c.Summary << "\n";
  if (!c.Details.empty()) out << "\n" << c.Details << "\n";
}

void PrintGroupUsage(const TCommandProgram& program, const std::string& group, std::ostream& out) {
  for (const ToolCommand& c : program.Table) {
    if (c.Group == group) out << "usage: " << c.Usage << "\n";
  }
}

int RunHelpCommand(const TCommandProgram& program, const std::vector<std::string>& args,
                   ToolContext& io) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    PrintOverview(program, io.Out);
    return ExitSuccess;
  }
  if (args.size() == 1 && args[0] == "--man") {
    WriteManPage(program, io.Out);
    return ExitSuccess;
  }
  if (args.size() == 1 && args[0] == "--completion") {
    WriteBashCompletion(program, io.Out);
    return ExitSuccess;
  }
  if (args.size() > 2) {
    io.Err << program.Name << " help: too many arguments (try " << program.Name << " help)\n";
    return ExitUsage;
  }
  bool group = false;
  for (const ToolCommand& c : program.Table) {
    if (c.Group != args[0]) continue;
    group = true;
    if ((c.Verb.empty() && args.size() == 1) || (args.size() == 2 && c.Verb == args[1])) {
      PrintCommandHelp(c, io.Out);
      return ExitSuccess;
    }
  }
  if (group && args.size() == 1) {
    PrintGroupUsage(program, args[0], io.Out);
    return ExitSuccess;
  }
  io.Err << program.Name << ": unknown command '" << args[0] << (args.size() == 2 ? " " : "")
         << (args.size() == 2 ? args[1] : "") << "' (try " << program.Name << " --help)\n";
  return ExitUsage;
}

std::vector<TUsageOption> UsageOptions(const std::string& usage) {
  std::vector<TUsageOption> options;
  for (size_t start = usage.find("--"); start != std::string::npos;
       start = usage.find("--", start + 2)) {
    size_t end = start + 2;
    while (end < usage.size() &&
           (std::isalnum(static_cast<unsigned char>(usage[end])) || usage[end] == '-')) {
      ++end;
    }
    TUsageOption option;
    option.Name = usage.substr(start, end - start);
    if (option.Name.size() <= 2) continue;  // "--" itself
    // "--name VALUE" or "--name=VALUE" takes a value; "[--name]" and
    // "[--name] OPERAND" don't: inside brackets the value must close them.
    if (end < usage.size() && (usage[end] == ' ' || usage[end] == '=')) {
      const size_t valueEnd = std::min(usage.find_first_of(" ]", end + 1), usage.size());
      const std::string value = usage.substr(end + 1, valueEnd - end - 1);
      const size_t open = usage.rfind('[', start);
      const size_t close = usage.rfind(']', start);
      const bool bracketed = open != std::string::npos && (close == std::string::npos || close < open);
      const bool closes = valueEnd < usage.size() && usage[valueEnd] == ']';
      if (!value.empty() && value[0] != '[' && value[0] != '-' && (!bracketed || closes)) {
        option.TakesValue = true;
        if (value.find('|') != std::string::npos) {
          std::istringstream choices(value);
          for (std::string choice; std::getline(choices, choice, '|');) {
            option.Choices.push_back(choice);
          }
        }
      }
    }
    const auto same = [&](const TUsageOption& o) { return o.Name == option.Name; };
    if (std::none_of(options.begin(), options.end(), same)) options.push_back(option);
    start = end - 2;
  }
  return options;
}

void WriteManPage(const TCommandProgram& program, std::ostream& out) {
  // The NAME line is the description's first sentence.
  std::string whatIs;
  for (const std::string& line : Lines(program.Description)) {
    whatIs += (whatIs.empty() ? "" : " ") + line;
  }
  whatIs = whatIs.substr(0, whatIs.find(". "));
  if (!whatIs.empty() && whatIs.back() == '.') whatIs.pop_back();
  out << ".\\\" The manual page of " << program.Name << ", made by \"" << program.Name
      << " help --man\"\n.\\\" from the same texts as " << program.Name << " --help.\n"
      << ".TH " << Upper(program.Name) << " 1 \"\" \"Quillmate " << ProjectVersion()
      << "\" \"Quillmate\"\n"
      << ".SH NAME\n"
      << Roff(program.Name) << " \\- " << Roff(whatIs) << "\n"
      << ".SH SYNOPSIS\n.nf\n"
      << "\\fB" << Roff(program.Name) << "\\fR " << Roff(program.Synopsis) << "\n"
      << "\\fB" << Roff(program.Name) << " help\\fR [\\fICOMMAND\\fR]\n"
      << "\\fB" << Roff(program.Name) << " \\-\\-help\\fR | \\fB\\-\\-version\\fR\n"
      << ".fi\n.SH DESCRIPTION\n";
  RoffParagraphs(program.Description, ".PP", out);
  if (!program.GlobalOptions.empty()) {
    out << ".PP\nThese options may also stand before the command: "
        << Roff(Joined(program.GlobalOptions)) << ".\n";
  }
  out << ".SH COMMANDS\n";
  for (const ToolCommand& c : program.Table) {
    out << ".TP\n\\fB" << Roff(c.Usage) << "\\fR\n" << Roff(c.Summary) << "\n";
    if (!c.Details.empty()) {
      out << ".IP\n";
      RoffParagraphs(c.Details, ".IP", out);
    }
  }
  for (const TManSection& section : program.Sections) {
    out << ".SH \"" << Upper(section.Title) << "\"\n";
    RoffParagraphs(section.Text, ".PP", out);
  }
  out << ".SH \"EXIT STATUS\"\n"
      << ".TP\n.B 0\nsuccess\n"
      << ".TP\n.B 1\nthe operation ran and failed, or found nothing; a file or the system\n"
         "refused (the message gives the system's reason)\n"
      << ".TP\n.B 2\nbad usage or bad input: an unknown command or option, a missing or\n"
         "malformed argument, a malformed file\n";
}

void WriteBashCompletion(const TCommandProgram& program, std::ostream& out) {
  const std::string function = FunctionName(program.Name);
  std::vector<std::string> groups;
  std::set<std::string> valueOptions(program.GlobalOptions.begin(), program.GlobalOptions.end());
  for (const ToolCommand& c : program.Table) {
    if (std::find(groups.begin(), groups.end(), c.Group) == groups.end()) {
      groups.push_back(c.Group);
    }
    for (const TUsageOption& o : UsageOptions(c.Usage)) {
      if (o.TakesValue) valueOptions.insert(o.Name);
    }
  }
  out << "# bash completion for " << program.Name << ", made by \"" << program.Name
      << " help --completion\"\n# from the usage lines of its commands.\n"
      << function << "() {\n"
      << "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
      << "  local -a plain=()\n  local i skip=0\n"
      << "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
      << "    if ((skip)); then skip=0; continue; fi\n"
      << "    case ${COMP_WORDS[i]} in\n";
  if (!valueOptions.empty()) {
    std::string names;
    for (const std::string& o : valueOptions) names += (names.empty() ? "" : "|") + o;
    out << "      " << names << ") skip=1 ;;\n";
  }
  out << "      -*) ;;\n"
      << "      *) plain+=(\"${COMP_WORDS[i]}\") ;;\n"
      << "    esac\n  done\n"
      << "  local command=\"${plain[0]-} ${plain[1]-}\"\n"
      << "  local words= files=1\n";
  // The value of an option: its choices, or file names.
  out << "  case $prev in\n";
  for (const ToolCommand& c : program.Table) {
    for (const TUsageOption& o : UsageOptions(c.Usage)) {
      if (!o.Choices.empty()) {
        out << "    " << o.Name << ") COMPREPLY=($(compgen -W " << ShellWord(Joined(o.Choices))
            << " -- \"$cur\")); return ;;\n";
      }
    }
  }
  if (!valueOptions.empty()) {
    std::string names;
    for (const std::string& o : valueOptions) names += (names.empty() ? "" : "|") + o;
    out << "    " << names << ") COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n";
  }
  out << "  esac\n"
      << "  if ((${#plain[@]} == 0)); then\n"
      << "    words=" << ShellWord(Joined(groups) + " help --help --version" +
                                   (program.GlobalOptions.empty()
                                        ? std::string()
                                        : " " + Joined(program.GlobalOptions)))
      << "; files=0\n"
      << "  else\n    case $command in\n";
  // Verbs of a group, then the options of each command.
  for (const std::string& group : groups) {
    std::vector<std::string> verbs;
    for (const ToolCommand& c : program.Table) {
      if (c.Group == group && !c.Verb.empty()) verbs.push_back(c.Verb);
    }
    if (!verbs.empty()) {
      out << "      \"" << group << " \") words=" << ShellWord(Joined(verbs)) << "; files=0 ;;\n";
    }
  }
  out << "      \"help \"*) words=" << ShellWord(Joined(groups)) << "; files=0 ;;\n";
  for (const ToolCommand& c : program.Table) {
    std::vector<std::string> names{"--help"};
    for (const TUsageOption& o : UsageOptions(c.Usage)) names.push_back(o.Name);
    const std::string pattern =
        c.Verb.empty() ? "\"" + c.Group + " \"*" : "\"" + c.Group + " " + c.Verb + "\"";
    out << "      " << pattern << ") words=" << ShellWord(Joined(names)) << " ;;\n";
  }
  out << "    esac\n  fi\n"
      << "  if [[ $cur == -* || $files == 0 ]]; then\n"
      << "    COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
      << "  else\n"
      << "    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
      << "  fi\n"
      << "}\n"
      << "complete -o filenames -F " << function << " " << program.Name << "\n";
}

}  // namespace qm::tool
