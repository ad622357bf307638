// Helpers of the Chromium engine's tests: one browser for the whole test
// binary, loopback page servers, and waits that pump the window thread.
// Tests only.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engines/chromium/ChromiumEngine.h"
#include "engines/chromium/PageServer.h"
#include "platform/dom/PageDocument.h"
#include "platform/rtl/Utf.h"

namespace qm::chromium::testing {

using namespace std::chrono_literals;
using platform::W;

// The browser every test of the binary shares; ended when the tests end
// (see ChromiumEnvironment in the test main).
std::shared_ptr<ChromiumEngine>& SharedEngine();

// A fresh tab of the shared browser, closed when the test ends.
inline ComPtr<ChromiumBrowser> OpenTab() {
  return SharedEngine()->OpenBrowser();
}

inline ComPtr<platform::PageDocument> DocumentOf(const ComPtr<ChromiumBrowser>& browser) {
  return browser->Document().As<platform::PageDocument>();
}

// The element whose id attribute is id, found the way the add-on finds
// elements (through `all`), so any engine's document will do.
inline ComPtr<platform::PageElement> FindById(const ComPtr<platform::PageDocument>& document,
                                              std::u16string_view id) {
  if (!document) return {};
  const auto all = document->all();
  if (!all) return {};
  const int32_t length = all->length();
  for (int32_t i = 0; i < length; ++i) {
    ComPtr<platform::PageElement> e = all->item(i);
    if (!e) continue;  // the document was replaced while it was read
    const platform::Variant v = e->getAttribute(u"id");
    if (v.GetKind() == platform::Variant::Kind::String && v.AsString() == id) return e;
  }
  return {};
}

// A fixture with a fresh tab and a page server: Load shows one page.
class PageTest : public ::testing::Test {
protected:
  void Load(const std::string& html) {
    server_.Add("/page.html", html);
    ASSERT_TRUE(tab_->Load(server_.Url("/page.html")));
    doc_ = DocumentOf(tab_);
    ASSERT_TRUE(doc_);
  }
  ComPtr<platform::PageElement> ById(std::u16string_view id) { return FindById(doc_, id); }
  ComPtr<platform::PageFormElement> Form(int32_t index) {
    return doc_->forms()->item(index).As<platform::PageFormElement>();
  }

  PageServer server_;
  ComPtr<ChromiumBrowser> tab_ = OpenTab();
  ComPtr<platform::PageDocument> doc_;
};

}  // namespace qm::chromium::testing
