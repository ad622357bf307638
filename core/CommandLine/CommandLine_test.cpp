#include "core/CommandLine/CommandLine.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/CommandLine/CommandHelp.h"
#include "core/CommandLine/TerminalIO.h"
#include "platform/rtl/OsError.h"

namespace qm::tool {
namespace {

struct TRun {
  int Status = 0;
  std::string Out;
  std::string Err;
};

// A small program: "demo greet [--loud] NAME", "demo file read PATH",
// "demo fail how" and a global --where option.
TCommandProgram Demo() {
  CommandTable table;
  table.push_back({"greet", "", "demo greet [--loud] [--style plain|fancy] NAME", "Greets.",
                   "Says hello.\n.A line that roff would take for a macro.\n  indented line",
                   [](const std::vector<std::string>& args, ToolContext& io) {
                     const TToolArgs parsed = ParseToolArgs(args, {"--where", "--style"},
                                                            {"--loud"});
                     io.Out << "hello " << (parsed.Operands.empty() ? "?" : parsed.Operands[0])
                            << " at " << parsed.Value("--where", "home") << "\n";
                     return 0;
                   }});
  table.push_back({"file", "read", "demo file read PATH", "Reads a file.", "",
                   [](const std::vector<std::string>& args, ToolContext& io) {
                     io.Out << ReadInput(Operands(args).at(0), io);
                     return 0;
                   }});
  table.push_back({"fail", "how", "demo fail how KIND", "Fails.", "",
                   [](const std::vector<std::string>& args, ToolContext&) -> int {
                     const std::string kind = Operands(args).at(0);
                     if (kind == "usage") throw ToolError("bad usage");
                     if (kind == "failure") throw ToolFailure("it failed");
                     if (kind == "system") platform::RaiseOSError("cannot do it", EACCES);
                     throw std::runtime_error("other\r\n>> 12");
                   }});
  return {"demo", "COMMAND [ARGS...]", "A demonstration.", table, {"--where"},
          {{"Files", "~/.demo: nothing."}}};
}

TRun RunDemo(const std::vector<std::string>& args, const std::string& input = {}) {
  std::istringstream in(input);
  std::ostringstream out, err;
  ToolContext io{in, out, err};
  TRun run;
  run.Status = RunCommandTable(Demo(), args, io);
  run.Out = out.str();
  run.Err = err.str();
  return run;
}

TEST(CommandLine, GlobalOptionsMayStandBeforeTheCommand) {
  EXPECT_EQ(RunDemo({"--where", "work", "greet", "Ann"}).Out, "hello Ann at work\n");
  EXPECT_EQ(RunDemo({"--where=sea", "greet", "Ann"}).Out, "hello Ann at sea\n");
  EXPECT_EQ(RunDemo({"greet", "Ann", "--where", "town"}).Out, "hello Ann at town\n");
  const TRun unknown = RunDemo({"--wehre", "x", "greet", "Ann"});
  EXPECT_EQ(unknown.Status, ExitUsage);
  EXPECT_EQ(unknown.Err, "demo: unknown option --wehre (try demo --help)\n");
  EXPECT_EQ(RunDemo({"--where"}).Err, "demo: --where needs a value\n");
}

TEST(CommandLine, VersionAndHelpAnswerEverywhere) {
  const TRun version = RunDemo({"--version"});
  EXPECT_EQ(version.Status, 0);
  EXPECT_EQ(version.Out, "demo (Quillmate) " + ProjectVersion() + "\n");
  EXPECT_NE(ProjectVersion(), "unknown");
  const TRun overview = RunDemo({"help"});
  EXPECT_EQ(overview.Out, RunDemo({"--help"}).Out);
  EXPECT_NE(overview.Out.find("  demo greet [--loud]"), std::string::npos) << overview.Out;
  EXPECT_NE(overview.Out.find("Files:\n  ~/.demo: nothing.\n"), std::string::npos);
  EXPECT_NE(overview.Out.find("Exit status: 0 success, 1 "), std::string::npos);
  EXPECT_EQ(RunDemo({"help", "greet"}).Out, RunDemo({"greet", "--help"}).Out);
  EXPECT_EQ(RunDemo({"help", "file", "read"}).Out, "usage: demo file read PATH\nReads a file.\n");
  EXPECT_EQ(RunDemo({"help", "file"}).Out, "usage: demo file read PATH\n");
  const TRun unknown = RunDemo({"help", "frob"});
  EXPECT_EQ(unknown.Status, ExitUsage);
  EXPECT_EQ(unknown.Err, "demo: unknown command 'frob' (try demo --help)\n");
  const TRun nothing = RunDemo({});
  EXPECT_EQ(nothing.Status, ExitUsage);
  EXPECT_NE(nothing.Err.find("usage: demo COMMAND"), std::string::npos);
}

TEST(CommandLine, ExitStatusTellsBadUsageFromFailure) {
  TRun run = RunDemo({"fail", "how", "usage"});
  EXPECT_EQ(run.Status, ExitUsage);
  EXPECT_EQ(run.Err, "demo fail how: bad usage\n");
  run = RunDemo({"fail", "how", "failure"});
  EXPECT_EQ(run.Status, ExitFailure);
  EXPECT_EQ(run.Err, "demo fail how: it failed\n");
  run = RunDemo({"fail", "how", "system"});
  EXPECT_EQ(run.Status, ExitFailure);
  EXPECT_EQ(run.Err, "demo fail how: cannot do it: Permission denied\n");
  run = RunDemo({"fail", "how", "other"});
  EXPECT_EQ(run.Status, ExitUsage);
  EXPECT_EQ(run.Err, "demo fail how: other  >> 12\n");
}

TEST(CommandLine, AFileThatCannotBeOpenedSaysWhy) {
  const TRun missing = RunDemo({"file", "read", "/nonexistent/x.json"});
  EXPECT_EQ(missing.Status, ExitFailure);
  EXPECT_EQ(missing.Err,
            "demo file read: cannot open /nonexistent/x.json: No such file or directory\n");
  const TRun directory = RunDemo({"file", "read", "/"});
  EXPECT_EQ(directory.Status, ExitFailure);
  EXPECT_EQ(directory.Err, "demo file read: cannot read /: Is a directory\n");
  EXPECT_EQ(RunDemo({"file", "read", "-"}, "from stdin").Out, "from stdin");
}

TEST(CommandLine, AValueThatLooksLikeAnOptionGetsAHint) {
  TRun run = RunDemo({"greet", "-5"});
  EXPECT_EQ(run.Status, ExitUsage);
  EXPECT_EQ(run.Err,
            "demo greet: unknown option -5 (a value that begins with '-' goes after '--': -- -5)\n");
  EXPECT_EQ(RunDemo({"greet", "--", "-5"}).Out, "hello -5 at home\n");
  EXPECT_EQ(RunDemo({"greet", "--lound", "x"}).Err, "demo greet: unknown option --lound\n");
}

TEST(CommandLine, InputIsReadUpToItsCap) {
  std::istringstream in(std::string(10, 'x'));
  std::ostringstream out, err;
  ToolContext io{in, out, err};
  EXPECT_EQ(ReadInputUpTo("-", io, 10, "the value"), std::string(10, 'x'));
  std::istringstream more(std::string(11, 'x'));
  ToolContext io2{more, out, err};
  try {
    ReadInputUpTo("-", io2, 10, "the value");
    ADD_FAILURE() << "no error beyond the cap";
  } catch (const ToolError& e) {
    EXPECT_STREQ(e.what(), "the value is longer than 10 bytes");
  }
}

TEST(CommandLine, UsageLinesNameTheOptionsAndTheirValues) {
  const auto options =
      UsageOptions("m cards list [--kind formset|navigation|mail] [--stream] [--db PATH] "
                   "[--password-stdin] OWNER --card CARD.json [--] TEXT");
  ASSERT_EQ(options.size(), 5u);
  EXPECT_EQ(options[0].Name, "--kind");
  EXPECT_TRUE(options[0].TakesValue);
  EXPECT_EQ(options[0].Choices, (std::vector<std::string>{"formset", "navigation", "mail"}));
  EXPECT_FALSE(options[1].TakesValue);
  EXPECT_TRUE(options[2].TakesValue);
  EXPECT_FALSE(options[3].TakesValue) << "a flag followed by an operand";
  EXPECT_TRUE(options[4].TakesValue);
}

TEST(CommandLine, TheManualPageIsMadeFromTheHelpTexts) {
  std::ostringstream page;
  WriteManPage(Demo(), page);
  const std::string text = page.str();
  EXPECT_NE(text.find(".TH DEMO 1 \"\" \"Quillmate " + ProjectVersion()), std::string::npos);
  EXPECT_NE(text.find(".SH NAME\ndemo \\- A demonstration\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\\fBdemo greet [\\-\\-loud] [\\-\\-style plain|fancy] NAME\\fR\nGreets.\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\\&.A line that roff"), std::string::npos) << "a text line read as a macro";
  EXPECT_NE(text.find(".nf\n  indented line\n.fi\n"), std::string::npos) << text;
  EXPECT_NE(text.find(".SH \"FILES\"\n~/.demo: nothing.\n"), std::string::npos) << text;
  EXPECT_NE(text.find(".SH \"EXIT STATUS\""), std::string::npos);
}

// Completes "words" (the last one being typed) with the generated script.
std::vector<std::string> Complete(const std::vector<std::string>& words) {
  std::ostringstream script;
  WriteBashCompletion(Demo(), script);
  char path[] = "/tmp/qm-completion-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return {"(mkstemp failed)"};
  close(fd);
  std::ofstream(path) << script.str();
  std::string command = "bash --norc --noprofile -c 'source " + std::string(path) +
                        " && COMP_WORDS=(demo";
  for (const std::string& w : words) command += " \"" + w + "\"";
  command += ") && COMP_CWORD=" + std::to_string(words.size()) +
             " && _qm_complete_demo && printf \"%s\\n\" \"${COMPREPLY[@]}\"'";
  std::vector<std::string> answers;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char line[256];
    while (fgets(line, sizeof line, pipe) != nullptr) {
      std::string answer(line);
      if (!answer.empty() && answer.back() == '\n') answer.pop_back();
      if (!answer.empty()) answers.push_back(answer);
    }
    pclose(pipe);
  }
  unlink(path);
  return answers;
}

TEST(CommandLine, BashCompletesCommandsOptionsAndChoices) {
  EXPECT_EQ(Complete({"gr"}), (std::vector<std::string>{"greet"}));
  EXPECT_EQ(Complete({"file", ""}), (std::vector<std::string>{"read"}));
  EXPECT_EQ(Complete({"--where", "x", "file", "r"}), (std::vector<std::string>{"read"}));
  EXPECT_EQ(Complete({"greet", "--l"}), (std::vector<std::string>{"--loud"}));
  EXPECT_EQ(Complete({"greet", "--style", "f"}), (std::vector<std::string>{"fancy"}));
  EXPECT_EQ(Complete({"help", "fa"}), (std::vector<std::string>{"fail"}));
}

TEST(TerminalIO, ProgressUpdatesOneLineAtATerminalAndWritesLinesElsewhere) {
  std::istringstream in;
  std::ostringstream out, err;
  ToolContext terminal{in, out, err, false, true};
  {
    TProgressLine progress(terminal, "import", "cards");
    progress.Update(1, 2);
    progress.Update(2, 2);
  }
  EXPECT_EQ(err.str(), "\rimport: 1 of 2 cards\x1b[K\rimport: 2 of 2 cards\x1b[K\n");
  std::ostringstream log;
  ToolContext pipe{in, out, log};
  TProgressLine progress(pipe, "import", "cards");
  progress.Update(1, 2);
  progress.Finish();
  EXPECT_EQ(log.str(), "import: 1 of 2 cards\n");
}

TEST(TerminalIO, ASecretIsPromptedForOnlyAtATerminal) {
  std::istringstream in("s3cret\r\nnext\n");
  std::ostringstream out, err;
  ToolContext terminal{in, out, err, true, true};
  EXPECT_EQ(ReadSecretLine(terminal, "Password: ", "password"), "s3cret");
  EXPECT_EQ(err.str(), "Password: ");
  ToolContext pipe{in, out, err};
  EXPECT_EQ(ReadSecretLine(pipe, "Password: ", "password"), "next");
  EXPECT_EQ(err.str(), "Password: ");
  try {
    ReadSecretLine(pipe, "Password: ", "password");
    ADD_FAILURE() << "no error at the end of the input";
  } catch (const ToolError& e) {
    EXPECT_STREQ(e.what(), "no password on standard input");
  }
}

}  // namespace
}  // namespace qm::tool
