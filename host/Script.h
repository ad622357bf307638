// The script language of quillbrowse (host/README.md is its manual): one
// command a line, arguments separated by spaces, "..." for an argument with
// spaces (\" and \\ inside), lines starting with # are comments.
//
// ParseScript checks every line before anything runs: an unknown command,
// a wrong number of arguments, a malformed selector or an open quote is an
// EScriptError naming the line. Plain functions; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/Exception.h"

namespace qm::host {

class EScriptError : public platform::Exception {
public:
  using Exception::Exception;
};

struct TScriptCommand {
  size_t Line = 0;
  std::string Verb;                  // "open", "type", ..., "expect"
  std::vector<std::u16string> Args;  // for expect: the kind first ("value", ...)
};

// Every command of the text, comments and blank lines left out.
std::vector<TScriptCommand> ParseScript(std::string_view text);
// One line; an empty Verb for a blank line or a comment.
TScriptCommand ParseScriptLine(std::string_view line, size_t lineNo);

// A selector: "#ID" or "name=NAME".
struct TSelector {
  bool ById = false;
  std::u16string Key;
};
// Raises EScriptError (without a line) for anything else.
TSelector ParseSelector(std::u16string_view text);

// enabled, disabled, checked or unchecked: what `expect button` reads.
bool IsButtonState(std::u16string_view word);

// The argument as it is, with "{serve}" at its start replaced by root.
std::u16string ExpandServe(std::u16string_view text, std::u16string_view root);

}  // namespace qm::host
