// qmtool commatext: the one-line list encoding, both ways.
#include <ostream>

#include "core/Common/WideStrings.h"
#include "platform/rtl/Utf.h"
#include "tools/QmToolCommands.h"

namespace qm::tool {
namespace {

int Encode(const std::vector<std::string>& args, ToolContext& io) {
  std::vector<std::u16string> items;
  for (const std::string& a : Operands(args)) items.push_back(ArgText(a));
  io.Out << platform::Utf16ToUtf8(CommaText(items)) << "\n";
  return 0;
}

int DecodeText(const std::vector<std::string>& args, ToolContext& io) {
  const auto operands = Operands(args);
  if (operands.size() != 1) throw ToolError("expects exactly one TEXT");
  for (const std::u16string& item : ParseCommaText(ArgText(operands[0]))) {
    io.Out << platform::Utf16ToUtf8(item) << "\n";
  }
  return 0;
}

}  // namespace

void RegisterCommaTextCommands(CommandTable& table) {
  table.push_back({"commatext", "encode", "qmtool commatext encode [--] ITEM...",
                   "Prints the comma text of the items.",
                   "Items holding a space, a control character, a double quote or a comma are\n"
                   "quoted. An empty list prints an empty line.",
                   Encode});
  table.push_back({"commatext", "decode", "qmtool commatext decode [--] TEXT",
                   "Prints the items of a comma text, one per line.", "", DecodeText});
}

}  // namespace qm::tool
