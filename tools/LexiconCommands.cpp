// qmtool lexicon: normalise texts and expand templates with a lexicon, and
// write and inspect the lexicon streams the manager hands to the add-on.
#include "tools/LexiconCommands.h"

#include <ostream>

#include "core/Common/LexiconJson.h"
#include "core/Common/QMLexicon.h"
#include "core/Common/TextUtils.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"
#include "tools/QmToolCommands.h"

namespace qm::tool {
namespace {

using platform::U8;

int32_t VersionOf(const TToolArgs& args) {
  if (!args.Has("--version")) return LexiconStreamVersion;
  const std::string text = args.Value("--version");
  int32_t version = 0;
  if (!TryTextToInt(ArgText(text), version)) {
    throw ToolError("--version expects a whole number, not '" + text + "'");
  }
  return version;
}

// Loads a lexicon stream; every way it can be wrong ends in a ToolError
// that names the file and the byte.
void LoadLexicon(const std::string& path, int32_t version, TLexicon& lexicon, ToolContext& io) {
  const std::string bytes = ReadInput(path, io);
  TMemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  TStreamReader reader(stream);
  const std::string name = path == "-" ? "standard input" : path;
  bool ok = false;
  try {
    ok = lexicon.LoadFromReader(reader, version);
  } catch (const std::exception& e) {
    throw ToolError(name + ": " + e.what() + " (at byte " + std::to_string(reader.FailOffset()) +
                    ")");
  }
  if (!ok) {
    throw ToolError(name + ": corrupt lexicon stream at byte " +
                    std::to_string(reader.FailOffset()) + " (" + U8(reader.FailReason()) + ")");
  }
  if (stream.Remaining() > 0) {
    throw ToolError(name + ": " + std::to_string(stream.Remaining()) +
                    " bytes after the lexicon's end at byte " + std::to_string(stream.Position()) +
                    " (a stream of another version?)");
  }
}

int Normalize(const std::vector<std::string>& rawArgs, ToolContext& io) {
  const TToolArgs args = ParseToolArgs(rawArgs, {"--lexicon"});
  if (args.Operands.empty()) throw ToolError("expects at least one TEXT");
  TLexicon lexicon;
  LoadLexiconOption(args, lexicon, io);
  for (const std::string& text : args.Operands) {
    io.Out << U8(lexicon.Normalize(ArgText(text))) << "\n";
  }
  return 0;
}

int Expand(const std::vector<std::string>& rawArgs, ToolContext& io) {
  const TToolArgs args = ParseToolArgs(rawArgs, {"--lexicon", "--mark"});
  if (args.Operands.empty()) throw ToolError("expects at least one TEMPLATE");
  char16_t mark = u'|';
  if (args.Has("--mark")) {
    const std::string given = args.Value("--mark");
    const std::u16string m = ArgText(given);
    if (m.size() != 1) throw ToolError("--mark expects one character, not '" + given + "'");
    mark = m[0];
  }
  TLexicon lexicon;
  LoadLexiconOption(args, lexicon, io);
  std::vector<std::u16string> templates;
  for (const std::string& t : args.Operands) {
    std::u16string text = ArgText(t);
    for (char16_t& c : text) {
      if (c == mark) c = PlaceholderMark;
    }
    templates.push_back(std::move(text));
  }
  for (std::u16string& expansion : lexicon.ExpandSubstitutions(templates)) {
    for (char16_t& c : expansion) {
      if (c == PlaceholderMark) c = mark;
    }
    io.Out << U8(expansion) << "\n";
  }
  return 0;
}

int Encode(const std::vector<std::string>& rawArgs, ToolContext& io) {
  const TToolArgs args = ParseToolArgs(rawArgs, {});
  if (args.Operands.size() != 1) throw ToolError("expects exactly one JSON file (- for stdin)");
  const std::string& path = args.Operands[0];
  TLexicon lexicon;
  try {
    LexiconFromJsonText(ReadInput(path, io), lexicon);
  } catch (const platform::Exception& e) {
    throw ToolError((path == "-" ? "standard input" : path) + ": " + e.what());
  }
  TMemoryStream stream;
  lexicon.SaveToStream(stream);
  io.Out.write(reinterpret_cast<const char*>(stream.Bytes().data()),
               static_cast<std::streamsize>(stream.Size()));
  return 0;
}

int Decode(const std::vector<std::string>& rawArgs, ToolContext& io) {
  const TToolArgs args = ParseToolArgs(rawArgs, {"--version"});
  if (args.Operands.size() != 1) throw ToolError("expects exactly one STREAM file (- for stdin)");
  TLexicon lexicon;
  LoadLexicon(args.Operands[0], VersionOf(args), lexicon, io);
  io.Out << LexiconToJsonText(lexicon);
  return 0;
}

}  // namespace

void LoadLexiconOption(const TToolArgs& args, TLexicon& lexicon, ToolContext& io) {
  if (args.Has("--lexicon"))
    LoadLexicon(args.Value("--lexicon"), LexiconStreamVersion, lexicon, io);
}

void RegisterLexiconCommands(CommandTable& table) {
  table.push_back({"lexicon", "normalize", "qmtool lexicon normalize [--lexicon FILE] [--] TEXT...",
                   "Prints the normalised form of each text, one per line.",
                   "Texts are trimmed, lower-cased, cut at the separators, and the pieces that\n"
                   "are not stop words are joined by single spaces. The lexicon is the built-in\n"
                   "one unless FILE (- for stdin) gives a version-10 lexicon stream.",
                   Normalize});
  table.push_back({"lexicon", "expand",
                   "qmtool lexicon expand [--lexicon FILE] [--mark C] [--] TEMPLATE...",
                   "Prints every expansion of the templates, one per line.",
                   "A placeholder is a substitution's key between two marks (C, default |):\n"
                   "  qmtool lexicon expand 'my |addons|'\n"
                   "gives the key and then each of its normalised words. Templates with an\n"
                   "unknown key or an unmatched mark give nothing; templates without marks are\n"
                   "printed as they are. The lexicon is the built-in one unless FILE (- for\n"
                   "stdin) gives a version-10 lexicon stream.",
                   Expand});
  table.push_back(
      {"lexicon", "encode", "qmtool lexicon encode JSON",
       "Writes the lexicon stream (version 10) of a JSON lexicon to stdout.",
       "JSON (a file, - for stdin) is an object with the keys \"Separators\" (a text),\n"
       "\"StopWords\" (a list of texts), \"Substitutions\" and \"Goals\" (lists of\n"
       "{\"Key\": text, \"Words\": [texts]}); missing keys are empty. Stop words and\n"
       "words are taken as they stand, as a stream load takes them.",
       Encode});
  table.push_back({"lexicon", "decode", "qmtool lexicon decode [--version N] STREAM",
                   "Prints a lexicon stream as JSON.",
                   "STREAM is a file, - for stdin. N is the stream's version (default 10; 9 and\n"
                   "below have no goals). A corrupt stream exits with status 2 and names the\n"
                   "byte where it went wrong.",
                   Decode});
}

}  // namespace qm::tool
