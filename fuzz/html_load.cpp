// The built-in engine's page loader: any bytes become a document. The first
// byte picks the character set the host announces; the rest is the page.
// The loaded page must walk, serialise and render, its serialisation must
// load again, its controls must take clicks, typing and submission, and the
// parser guard must hand on a page it didn't limit unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engines/memdom/HtmlGuard.h"
#include "engines/memdom/MemDocument.h"
#include "engines/memdom/MemElements.h"
#include "engines/memdom/UserActions.h"
#include "platform/rtl/Utf.h"

namespace {

using namespace qm::memdom;
using qm::platform::ComPtr;
using qm::platform::PageElement;

void Check(bool ok) {
  if (!ok) std::abort();
}

class Host final : public NavigationHost {
public:
  void NavigateFrom(MemDocument&, const NavigationRequest& request) override {
    Check(!request.Url.empty() || request.Method.empty());
  }
};

void Exercise(const ComPtr<MemDocument>& document) {
  const auto all = document->all();
  const int32_t count = all->length();
  for (int32_t i = 0; i < count; ++i) {
    const ComPtr<PageElement> e = all->item(i);
    Check(e && e->sourceIndex() == i);
  }
  const ComPtr<PageElement> root(document->Root());
  const std::u16string markup = root->innerHTML();
  root->innerText();
  // What the engine writes, it reads back.
  DocumentOptions again;
  MemDocument::Load(qm::platform::U8(markup), again);
  // Play with the first controls as a user and as the program would.
  for (int32_t i = 0; i < count && i < 200; ++i) {
    const ComPtr<PageElement> e = all->item(i);
    if (!e) break;
    if (auto input = e.As<qm::platform::PageInputElement>()) {
      TypeText(e, u"ab\u00FC");
      input->setChecked(!input->checked());
    } else if (auto select = e.As<qm::platform::PageSelectElement>()) {
      ChooseOption(e, select->length() - 1);
      select->setValue(u"x");
    }
    e->click();
  }
  const auto forms = document->forms();
  for (int32_t i = 0; i < forms->length() && i < 20; ++i) {
    forms->item(i).As<qm::platform::PageFormElement>()->submit();
  }
  FireLoad(*document);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const char16_t* const charsets[] = {u"", u"windows-1252", u"koi8-r", u"utf-16le",
                                             u"shift_jis", u"bogus"};
  const std::string page(reinterpret_cast<const char*>(data) + 1, size - 1);
  const GuardedHtml guarded = GuardHtml(page);
  if (!guarded.Limited) Check(guarded.Text == page);
  GuardLimits tight;
  tight.MaxDepth = 8;
  tight.MaxAttributes = 3;
  tight.MaxReopen = 2;
  GuardHtml(page, tight);

  Host host;
  DocumentOptions options;
  options.Url = u"http://fuzz.example/dir/page.html";
  options.Charset = charsets[data[0] % 6];
  options.Host = &host;
  const ComPtr<MemDocument> document = MemDocument::Load(page, options);
  Exercise(document);
  document->Close();
  return 0;
}
