#include "host/Script.h"

#include <map>

#include "platform/rtl/Utf.h"

namespace qm::host {

namespace {

using platform::W;

[[noreturn]] void Fail(size_t line, const std::string& what) {
  throw EScriptError(W("line " + std::to_string(line) + ": " + what));
}

std::vector<std::string> Tokens(std::string_view line, size_t lineNo) {
  std::vector<std::string> tokens;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string token;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
      const char c = line[i++];
      if (c == '"') {
        quoted = !quoted;
      } else if (quoted && c == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) {
        token += line[i++];
      } else {
        token += c;
      }
    }
    if (quoted) Fail(lineNo, "a quoted argument is not closed");
    tokens.push_back(std::move(token));
  }
  return tokens;
}

struct TShape {
  size_t Min;
  size_t Max;  // SIZE_MAX: any number more
  const char* Usage;
  int SelectorAt = -1;  // index of an argument that is a selector
};

const std::map<std::string, TShape>& Commands() {
  static const std::map<std::string, TShape> commands = {
      {"open", {1, 1, "open URL"}},
      {"type", {2, 2, "type SEL TEXT", 0}},
      {"choose", {2, 2, "choose SEL OPTIONTEXT", 0}},
      {"check", {1, 1, "check SEL", 0}},
      {"uncheck", {1, 1, "uncheck SEL", 0}},
      {"focus", {1, 1, "focus SEL", 0}},
      {"click", {1, 1, "click SEL", 0}},
      {"answer", {2, SIZE_MAX, "answer CAPTION BUTTON [NAME=VALUE]..."}},
      {"command", {1, 2, "command CAPTION [ITEM]"}},
      {"note", {1, 1, "note TEXT"}},
  };
  return commands;
}

const std::map<std::string, TShape>& Expectations() {
  static const std::map<std::string, TShape> kinds = {
      {"value", {2, 2, "expect value SEL TEXT", 0}},  {"checked", {1, 1, "expect checked SEL", 0}},
      {"unchecked", {1, 1, "expect unchecked SEL", 0}}, {"text", {2, 2, "expect text SEL TEXT", 0}},
      {"url", {1, 1, "expect url TEXT"}},              {"bound", {2, 2, "expect bound SEL FIELD", 0}},
      {"message", {1, 1, "expect message TEXT"}},
      {"button", {2, 2, "expect button CAPTION enabled|disabled|checked|unchecked"}},
  };
  return kinds;
}

void CheckShape(const TShape& shape, const std::vector<std::u16string>& args, size_t lineNo) {
  if (args.size() < shape.Min || args.size() > shape.Max) Fail(lineNo, std::string("usage: ") + shape.Usage);
  if (shape.SelectorAt >= 0) {
    try {
      ParseSelector(args[static_cast<size_t>(shape.SelectorAt)]);
    } catch (const EScriptError& e) {
      Fail(lineNo, platform::U8(e.Message()));
    }
  }
}

}  // namespace

bool IsButtonState(std::u16string_view word) {
  return word == u"enabled" || word == u"disabled" || word == u"checked" || word == u"unchecked";
}

TSelector ParseSelector(std::u16string_view text) {
  if (text.size() > 1 && text[0] == u'#') return {true, std::u16string(text.substr(1))};
  if (text.size() > 5 && text.substr(0, 5) == u"name=") return {false, std::u16string(text.substr(5))};
  throw EScriptError(u"'" + std::u16string(text) + u"' is not a selector (#ID or name=NAME)");
}

std::u16string ExpandServe(std::u16string_view text, std::u16string_view root) {
  constexpr std::u16string_view marker = u"{serve}";
  if (text.substr(0, marker.size()) != marker) return std::u16string(text);
  return std::u16string(root) + std::u16string(text.substr(marker.size()));
}

TScriptCommand ParseScriptLine(std::string_view line, size_t lineNo) {
  TScriptCommand command;
  command.Line = lineNo;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const size_t first = line.find_first_not_of(" \t");
  if (first == std::string_view::npos || line[first] == '#') return command;
  std::vector<std::string> tokens = Tokens(line, lineNo);
  command.Verb = tokens[0];
  for (size_t i = 1; i < tokens.size(); ++i) {
    try {
      command.Args.push_back(platform::Utf8ToUtf16Strict(tokens[i]));
    } catch (const platform::Exception& e) {
      Fail(lineNo, platform::U8(e.Message()));
    }
  }
  if (command.Verb == "expect") {
    if (command.Args.empty()) Fail(lineNo, "usage: expect value|checked|unchecked|text|url|bound|message|button ...");
    const auto kind = Expectations().find(platform::U8(command.Args[0]));
    if (kind == Expectations().end()) Fail(lineNo, "unknown expectation '" + platform::U8(command.Args[0]) + "'");
    CheckShape(kind->second, {command.Args.begin() + 1, command.Args.end()}, lineNo);
    if (kind->first == "button" && !IsButtonState(command.Args[2])) {
      Fail(lineNo, "expect button takes enabled, disabled, checked or unchecked, not '" +
                       platform::U8(command.Args[2]) + "'");
    }
    return command;
  }
  const auto shape = Commands().find(command.Verb);
  if (shape == Commands().end()) Fail(lineNo, "unknown command '" + command.Verb + "'");
  CheckShape(shape->second, command.Args, lineNo);
  if (command.Verb == "answer") {
    for (size_t i = 2; i < command.Args.size(); ++i) {
      if (command.Args[i].find(u'=') == std::u16string::npos) Fail(lineNo, "answer values are NAME=VALUE");
    }
  }
  return command;
}

std::vector<TScriptCommand> ParseScript(std::string_view text) {
  std::vector<TScriptCommand> commands;
  size_t start = 0;
  size_t lineNo = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    TScriptCommand command = ParseScriptLine(text.substr(start, end - start), ++lineNo);
    if (!command.Verb.empty()) commands.push_back(std::move(command));
    start = end + 1;
  }
  return commands;
}

}  // namespace qm::host
