// qmtool extract: the forms of a page file as a transit form set, in the
// JSON of "qmtool transit decode".
#include <ostream>

#include "core/Common/TransitJson.h"
#include "tools/PageFiles.h"
#include "tools/QmToolCommands.h"

namespace qm::tool {
namespace {

int Extract(const std::vector<std::string>& rawArgs, ToolContext& io) {
  const TToolArgs args = ParseToolArgs(rawArgs, {"--url", "--parts"});
  if (args.Operands.size() != 1) throw ToolError("expects exactly one PAGE file (see --help)");
  const int32_t parts = PartsOption(args, CardPartsAll);
  const TToolPage page = OpenPageFile(args.Operands[0], args.Value("--url"), io);
  io.Out << TransitSetToJsonText(ReadPageForms(PageForms(page), parts)) << "\n";
  return 0;
}

}  // namespace

void RegisterExtractCommands(CommandTable& table) {
  table.push_back(
      {"extract", "", "qmtool extract PAGE [--url URL] [--parts N]",
       "Prints the forms of an HTML page file as a form set, in JSON.",
       "One card per form: the page's own forms first, then those of its frames, depth\n"
       "first. Frames are read when their source is a local file; with --url (the\n"
       "address the page was saved from, which also makes the cards' addresses), the\n"
       "sources under that address's folder are read from PAGE's folder. Other frames\n"
       "stay empty. PAGE may be - for standard input. N chooses the card header parts\n"
       "to fill, added up: 1 the form's action address, 2 its method, 4 the page's\n"
       "character set, 8 the form's markup (default 15, all of them). Fields come\n"
       "with the values the page holds; a set of one card marks it as the current\n"
       "form. The output feeds \"qmtool transit encode\" and \"qmtool fill --card\".",
       Extract});
}

}  // namespace qm::tool
