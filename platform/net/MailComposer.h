// The platform's simple mail interface: a message (one recipient, a
// subject, a body) handed to the desktop's mail composer, where the user
// sees it and sends it. On this platform the composer is reached through
// the desktop's `xdg-email` (Debian xdg-utils):
//   xdg-email [--subject SUBJECT] [--body BODY] ADDRESS
// started with an argument vector, never through a shell, so whatever a
// page or a card holds (quotes, semicolons, "$(...)") reaches the composer
// as text. An empty subject or body is left out: the program refuses an
// option without its text.
//
// The wait is bounded by a time limit. xdg-email returns once the
// composer has the message; a mail program that it starts in the
// foreground may keep it waiting far longer. On time-out only xdg-email
// itself is killed and reaped: what it started (the user's composer,
// maybe with a message being typed) is left alone.
//
// The answer is a TMailResult, whose outcome is decided in exactly one
// place (the translation of how the program ended: no program, refused
// input, its exit status or the time-out); ComposeMail reduces it to the
// boolean the add-on looks at: true only for exit status 0.
//
// The composer a process uses is one process-wide setting (the program's
// name, the environment it gets, the time limit), so that tests can point
// the add-on at a stand-in; the setting is locked, and ComposeMail may be
// called from any thread. It blocks the calling thread for at most the
// time limit.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::platform {

struct TMailComposer {
  // A name looked up in the PATH of the environment the program gets, or
  // a path with a "/".
  std::string Program = "xdg-email";
  // The program's whole environment, one "NAME=value" per entry; none:
  // this process's own.
  std::optional<std::vector<std::string>> Environment;
  // How long to wait for the program to end.
  std::chrono::milliseconds TimeLimit = std::chrono::seconds(5);
};

enum class TMailOutcome : uint8_t {
  Composed,      // the program ended with status 0
  NotInstalled,  // no such program
  Refused,       // the message can't be handed over (an unusable address)
  Failed,        // the program could not start, or ended otherwise
  TimedOut,      // still running at the time limit; killed
};

struct TMailResult {
  TMailOutcome Outcome = TMailOutcome::Failed;
  // The program's exit status, or -1 when it did not exit by itself.
  int ExitStatus = -1;
  // Why it was not composed, for a log or a message; empty when composed.
  std::u16string Reason;
};

// The arguments after the program's name, as they are handed over.
std::vector<std::string> MailComposerArguments(std::u16string_view address,
                                               std::u16string_view subject,
                                               std::u16string_view body);

// Hands the message to composer's program and waits for it. An address
// that is empty or begins with "-" (a program would take it for an
// option), or a text holding a NUL character (an argument can't), is
// Refused without starting anything. Never raises.
TMailResult RunMailComposer(const TMailComposer& composer, std::u16string_view address,
                            std::u16string_view subject, std::u16string_view body);

// The process's composer (the defaults until SetMailComposer).
TMailComposer CurrentMailComposer();
void SetMailComposer(TMailComposer composer);

// RunMailComposer with the process's composer; true when composed.
bool ComposeMail(std::u16string_view address, std::u16string_view subject,
                 std::u16string_view body);

// Sets the process's composer for a scope and puts the earlier one back.
class TMailComposerScope {
public:
  explicit TMailComposerScope(TMailComposer composer) : saved_(CurrentMailComposer()) {
    SetMailComposer(std::move(composer));
  }
  ~TMailComposerScope() { SetMailComposer(std::move(saved_)); }
  TMailComposerScope(const TMailComposerScope&) = delete;
  TMailComposerScope& operator=(const TMailComposerScope&) = delete;

private:
  TMailComposer saved_;
};

}  // namespace qm::platform
