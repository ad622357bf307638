// qmtool transit: the transit form set stream to and from JSON, and the
// best-card score of a probe against stored cards.
#include "tools/TransitCommands.h"

#include <ostream>

#include "core/Common/QMTransitUtils.h"
#include "core/Common/StreamUtils.h"
#include "core/Common/TransitJson.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"
#include "tools/QmToolCommands.h"

namespace qm::tool {

bool IsStdin(const std::string& path) {
  return path.empty() || path == "-";
}

TTransitFormSet LoadJsonSet(const std::string& path, ToolContext& io) {
  const std::string text = ReadInput(path, io);
  try {
    return TransitSetFromJsonText(text);
  } catch (const platform::Exception& e) {
    if (IsStdin(path)) throw;
    throw ToolError(path + ": " + e.what());
  }
}

namespace {

// The optional FILE operand of encode and decode.
std::string OptionalFile(const std::vector<std::string>& args) {
  const auto operands = Operands(args);
  if (operands.size() > 1) throw ToolError("expects at most one FILE");
  return operands.empty() ? std::string() : operands[0];
}

int Encode(const std::vector<std::string>& args, ToolContext& io) {
  const TTransitFormSet set = LoadJsonSet(OptionalFile(args), io);
  TMemoryStream stream;
  set.WriteToStream(stream);
  io.Out.write(reinterpret_cast<const char*>(stream.Bytes().data()),
               static_cast<std::streamsize>(stream.Size()));
  return 0;
}

int Decode(const std::vector<std::string>& args, ToolContext& io) {
  const std::string bytes = ReadInput(OptionalFile(args), io);
  TMemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  TTransitFormSet set;
  const TTransitReadResult result = set.ReadFromStream(stream);
  if (!result.Ok()) throw ToolError(platform::U8(result.Message()));
  if (stream.Remaining() > 0) {
    throw ToolError(std::to_string(stream.Remaining()) + " bytes after the form set, from byte " +
                    std::to_string(stream.Position()));
  }
  io.Out << TransitSetToJsonText(set) << "\n";
  return 0;
}

int Best(const std::vector<std::string>& args, ToolContext& io) {
  const auto operands = Operands(args);
  if (operands.size() != 2) throw ToolError("expects STORED.json and PROBE.json");
  if (IsStdin(operands[0]) && IsStdin(operands[1])) {
    throw ToolError("only one of STORED and PROBE can be standard input");
  }
  const TTransitFormSet stored = LoadJsonSet(operands[0], io);
  const TTransitFormSet probes = LoadJsonSet(operands[1], io);
  if (probes.Empty()) throw ToolError(operands[1] + ": holds no card to probe with");
  TTransitFormCard probe = probes[0];
  int index = -1;
  const int score = stored.FindBestCard(probe, &index);
  io.Out << score << " " << index << "\n";
  return score > 0 ? ExitSuccess : ExitFailure;
}

}  // namespace

void RegisterTransitCommands(CommandTable& table) {
  table.push_back({"transit", "encode", "qmtool transit encode [FILE]",
                   "Writes the binary stream of a form set given as JSON (standard input when "
                   "no FILE).",
                   "The JSON is {\"Cards\": [card, ...]}; a card has Url, Method, Charset,\n"
                   "FormHtml, CurrentForm, SubmitFieldIndex, FormSysID (\"{GUID}\") and Fields;\n"
                   "a field has ElementIndex, Name, TagName, InputType, ProfileField, Value,\n"
                   "ValueKind and Values. Missing keys take their initial values. The stream\n"
                   "goes to standard output.",
                   Encode});
  table.push_back({"transit", "decode", "qmtool transit decode [FILE]",
                   "Prints a form set stream (standard input when no FILE) as JSON.",
                   "A stream that does not read whole, or that has bytes after the set, exits\n"
                   "with status 2 and names the byte where reading failed.",
                   Decode});
  table.push_back({"transit", "best", "qmtool transit best STORED.json PROBE.json",
                   "Prints \"score index\": the best stored card for the first card of PROBE.",
                   "Scores run from 0 to 100; the index is the stored card's position from 0,\n"
                   "or -1 when no card scores above 0 (exit status 1). Either file may be - for\n"
                   "standard input.",
                   Best});
}

}  // namespace qm::tool
