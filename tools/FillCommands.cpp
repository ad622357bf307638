// qmtool fill: a page file filled from the best matching cards of a form
// set, as the add-on fills a page from the cards the manager finds.
#include <fstream>
#include <memory>
#include <ostream>

#include "addon/BHO/ElementTracker.h"
#include "addon/BHO/FillFormUtils.h"
#include "core/Common/QMLexicon.h"
#include "core/Common/TransitJson.h"
#include "platform/rtl/OsError.h"
#include "platform/rtl/Utf.h"
#include "tools/LexiconCommands.h"
#include "tools/PageFiles.h"
#include "tools/QmToolCommands.h"
#include "tools/TransitCommands.h"

namespace qm::tool {
namespace {

using platform::U8;

// One line per field of the form: what GetElementInfo reads of it now.
void PrintControls(const ComPtr<PageElement>& form, size_t formIndex, ToolContext& io) {
  const auto view = form.As<platform::PageFormElement>();
  if (!view) return;
  for (int32_t i = 0; i < view->length(); ++i) {
    const TElementInfo info = GetElementInfo(view->item(i));
    if (info.Tag.empty()) continue;
    TJson line;
    line["Form"] = formIndex;
    line["Name"] = U8(info.Name);
    line["Tag"] = U8(info.Tag);
    line["Type"] = U8(info.Type);
    line["Value"] = U8(info.Value);
    io.Out << line.dump(-1, ' ', false, TJson::error_handler_t::replace) << "\n";
  }
}

// Fills form from its best card of cards; tells how it went on the error
// stream. Answers whether a card matched.
bool FillForm(const ComPtr<PageElement>& form, size_t formIndex, const TTransitFormSet& cards,
              const TLexicon& lexicon, TElementChangingTracker& tracker, ToolContext& io) {
  TTransitFormCard card;
  BuildFormCard(form, CardPartUrl | CardPartMethod, card);
  int index = -1;
  const int score = cards.FindBestCard(card, &index);
  io.Err << "form " << formIndex << ": ";
  if (score <= 0) {
    io.Err << "no card matches\n";
    return false;
  }
  io.Err << "card " << index << " (score " << score << ")";
  try {
    const TCardFillResult result = FillFormFromCard(form, card, tracker, lexicon);
    io.Err << (result.Complete ? ", every field filled\n" : ", some fields not found\n");
  } catch (const std::exception& e) {
    std::string message = e.what();
    for (char& c : message) {
      if (c == '\r' || c == '\n') c = ' ';
    }
    io.Err << ", failed: " << message << "\n";
  }
  return true;
}

int Fill(const std::vector<std::string>& rawArgs, ToolContext& io) {
  const TToolArgs args = ParseToolArgs(rawArgs, {"--card", "--url", "--out", "--lexicon"});
  if (args.Operands.size() != 1) throw ToolError("expects exactly one PAGE file (see --help)");
  if (!args.Has("--card")) throw ToolError("needs --card CARD.json, the form set to fill from");
  const std::string cardFile = args.Value("--card");
  const std::string& pageFile = args.Operands[0];
  const int fromStdin = int{IsStdin(pageFile)} + int{IsStdin(cardFile)} +
                        int{args.Has("--lexicon") && IsStdin(args.Value("--lexicon"))};
  if (fromStdin > 1) throw ToolError("only one of PAGE, CARD and --lexicon can be standard input");
  const TTransitFormSet cards = LoadJsonSet(cardFile, io);
  if (cards.Empty()) throw ToolError(cardFile + ": holds no card to fill from");
  TLexicon lexicon;
  LoadLexiconOption(args, lexicon, io);
  const TToolPage page = OpenPageFile(pageFile, args.Value("--url"), io);

  const std::vector<ComPtr<PageElement>> forms = PageForms(page);
  // The marks of bound controls are watched until the page is written.
  std::vector<std::unique_ptr<TElementChangingTracker>> trackers;
  bool anyMatched = false;
  for (size_t i = 0; i < forms.size(); ++i) {
    trackers.push_back(std::make_unique<TElementChangingTracker>());
    anyMatched = FillForm(forms[i], i, cards, lexicon, *trackers.back(), io) || anyMatched;
  }
  for (size_t i = 0; i < forms.size(); ++i)
    PrintControls(forms[i], i, io);

  if (args.Has("--out")) {
    const std::string out = args.Value("--out");
    errno = 0;
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file << FilledPageMarkup(*page.Document);
    file.close();
    if (!file) platform::RaiseOSError("cannot write " + out, errno != 0 ? errno : EIO);
  }
  return anyMatched ? 0 : 1;
}

}  // namespace

void RegisterFillCommands(CommandTable& table) {
  table.push_back(
      {"fill", "",
       "qmtool fill PAGE --card CARD.json [--url URL] [--lexicon FILE] [--out FILLED.html]",
       "Fills the forms of an HTML page file from the best matching cards of a form set.",
       "CARD is a form set in the JSON of \"qmtool transit decode\" (- for standard\n"
       "input). Each form of the page (its own, then those of its frames, read as\n"
       "\"qmtool extract\" reads them) takes the best card by FindBestCard and is filled\n"
       "from it by position, as the add-on fills a page; bound fields get their\n"
       "marks. How each form went is told on standard error. Standard output gets one\n"
       "JSON line per field of every form: Form (its number from 0), Name, Tag, Type\n"
       "and the Value the field now holds. --out writes the filled page (the top\n"
       "document, UTF-8, values written into its markup). Exits with status 1 when no\n"
       "card matches any form. Options are matched through the initial lexicon, or\n"
       "through the version-10 lexicon stream of --lexicon FILE (as \"qmtool lexicon\n"
       "encode\" writes it).",
       Fill});
}

}  // namespace qm::tool
