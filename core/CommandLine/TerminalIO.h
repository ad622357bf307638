// What a command program does at a terminal: asks for a secret without
// echo, and shows progress on one line that updates in place. Away from a
// terminal (a pipe, a file, a test) the same calls read plain lines and
// write plain lines, so that scripts and logs get every step.
//
// Used on the command's own thread.
#pragma once

#include <string>

#include "core/CommandLine/CommandLine.h"

namespace qm::tool {

// One line of a secret (a password): at a terminal (io.InIsTerminal) the
// prompt goes to io.Err and the typed text is not echoed, also when the
// program is interrupted halfway; otherwise the next line of io.In, with
// no prompt. The line end is dropped. Raises ToolError "no <what> on
// standard input" at the end of the input. The caller wipes the answer
// (WipeSecret) once used.
std::string ReadSecretLine(ToolContext& io, const std::string& prompt, const std::string& what);

// Overwrites a secret's characters before the string lets its memory go.
void WipeSecret(std::string& secret);
void WipeSecret(std::u16string& secret);

// A secret string wiped when it goes out of scope.
class TSecretString {
public:
  explicit TSecretString(std::string text) : text_(std::move(text)) {}
  ~TSecretString() { WipeSecret(text_); }
  TSecretString(const TSecretString&) = delete;
  TSecretString& operator=(const TSecretString&) = delete;
  const std::string& Text() const noexcept { return text_; }

private:
  std::string text_;
};

// Progress of a long piece of work, on io.Err: "label: 120 of 4000 unit".
// At a terminal (io.ErrIsTerminal) one line rewritten in place and ended
// when the work ends (Finish or destruction); otherwise one line per
// update.
class TProgressLine {
public:
  TProgressLine(ToolContext& io, std::string label, std::string unit);
  ~TProgressLine();
  TProgressLine(const TProgressLine&) = delete;
  TProgressLine& operator=(const TProgressLine&) = delete;

  void Update(size_t done, size_t total);
  void Finish();

private:
  ToolContext& io_;
  std::string label_;
  std::string unit_;
  bool open_ = false;  // a line in place waits for its end
};

}  // namespace qm::tool
