// The page document layer on any page: every form read into a card, filled
// back from its own card with other values and other value kinds, filled
// from the whole set, marked and unmarked, its links and refresh read, and
// the filled page written and loaded again. The first byte picks the value
// kinds and whether only empty controls are filled; the rest is the page.
// Nothing may crash, and a fill must not change what the forms consist of
// (the engine runs no scripts).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "addon/BHO/ElementTracker.h"
#include "addon/BHO/FillFormUtils.h"
#include "addon/BHO/MSHTMLUtils.h"
#include "core/Common/QMLexicon.h"
#include "engines/memdom/MemDocument.h"
#include "platform/rtl/Exception.h"
#include "tools/PageFiles.h"

namespace {

using namespace qm;
using platform::ComPtr;
using platform::PageElement;

void Check(bool ok) {
  if (!ok) std::abort();
}

// The card's fields with the value kinds of mode and values made from the
// stored ones, so that every select step and every input type is reached.
void Perturb(TTransitFormCard& card, uint8_t mode) {
  static constexpr int32_t kinds[] = {ValueKindLiteral, ValueKindWords, ValueKindLexicon, 2};
  int n = 0;
  for (TTransitField& field : card.Fields) {
    field.ValueKind = kinds[(mode + n) % 4];
    field.Values = field.Value + u"," + field.Name;
    if (n % 3 == 1) field.Value = field.Name;
    if (n % 2 == 0) field.ProfileField = field.Name + u" field";
    if (field.InputType == u"checkbox" || field.InputType == u"radio") {
      field.Value = (mode + n) % 2 == 0 ? u"true" : u"false";
    }
    ++n;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  const std::string page(reinterpret_cast<const char*>(data) + 1, size - 1);
  memdom::DocumentOptions options;
  options.Url = u"http://fuzz.example/dir/page.html";
  const ComPtr<memdom::MemDocument> document = memdom::MemDocument::Load(page, options);

  const TLexicon lexicon;
  TElementChangingTracker tracker;
  const auto forms = document->forms();
  TTransitFormSet set;
  for (int32_t i = 0; i < forms->length() && i < 50; ++i) {
    const ComPtr<PageElement> form = forms->item(i);
    TTransitFormCard& card = set.Add();
    tool::BuildFormCard(form, tool::CardPartsAll, card);
    const int count = card.Fields.Count();
    TTransitFormCard stored = card;
    Perturb(stored, mode);
    try {
      FillFormFromCard(form, stored, tracker, lexicon);
    } catch (const platform::Exception&) {
      // A fill may fail on a control; it must do so cleanly.
    }
    TTransitFormCard after;
    ReadFormFields(form, nullptr, after);
    Check(after.Fields.Count() == count);
  }
  for (int32_t i = 0; i < forms->length() && i < 50; ++i) {
    try {
      FillFormFromSet(forms->item(i), set, lexicon, tracker, (mode & 0x80) != 0);
    } catch (const platform::Exception&) {
    }
  }
  const auto all = document->all();
  for (int32_t i = 0; i < all->length() && i < 500; ++i) {
    MarkBoundElement(all->item(i), u"Name", tracker);
    MarkBoundElement(all->item(i), u"", tracker);
  }
  THyperlinks links;
  CollectHyperlinks(document, links);
  std::u16string target;
  try {
    FindMetaRefresh(document, target);
  } catch (const platform::Exception&) {
    // A refresh delay that is no number is the caller's to handle.
  }
  const std::string filled = tool::FilledPageMarkup(*document);
  memdom::MemDocument::Load(filled, options);
  document->Close();
  return 0;
}
