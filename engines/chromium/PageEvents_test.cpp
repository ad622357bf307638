// What only an engine that runs page scripts shows: forms built after the
// load, shadow roots, the page's own events, its dialogs, and a renderer
// that dies under a call.
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>

#include "engines/chromium/ChromiumElement.h"
#include "engines/chromium/ChromiumTesting.h"
#include "testsupport/QmTesting.h"

namespace qm::chromium::testing {
namespace {

using platform::PageElement;
using platform::PageEventType;
using platform::PageInputElement;

class PageScripts : public PageTest {
protected:
  std::u16string Log() { return ById(u"log")->innerText(); }
};

TEST_F(PageScripts, AFormBuiltAfterTheLoadIsFound) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "<script>setTimeout(() => { document.body.insertAdjacentHTML('beforeend',"
      "'<form><input name=late value=v></form>'); }, 100);</script>"));
  EXPECT_EQ(doc_->forms()->length(), 0);
  ASSERT_TRUE(tab_->WaitUntil([&] { return doc_->forms()->length() == 1; }, 5s));
  const auto input = doc_->forms()->item(0).As<platform::PageFormElement>()->item(0);
  EXPECT_EQ(input.As<PageInputElement>()->name(), u"late");
}

TEST_F(PageScripts, ShadowRootFormsFollowTheDocumentsOwn) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "<div id=host></div><form name=light><input name=a></form><script>"
      "const root = document.getElementById('host').attachShadow({mode: 'open'});"
      "root.innerHTML = '<form name=shadow><input id=s name=s><select name=c><option>x</select>"
      "</form>';</script>"));
  const auto forms = doc_->forms();
  ASSERT_EQ(forms->length(), 2);
  EXPECT_EQ(forms->item(0).As<platform::PageFormElement>()->name(), u"light");
  const auto shadow = forms->item(1).As<platform::PageFormElement>();
  EXPECT_EQ(shadow->name(), u"shadow");
  ASSERT_EQ(shadow->length(), 2);
  EXPECT_GT(forms->item(1)->sourceIndex(), forms->item(0)->sourceIndex());
  shadow->item(0).As<PageInputElement>()->setValue(u"inside");
  tab_->FlushWrites();
  EXPECT_EQ(shadow->item(0).As<PageInputElement>()->value(), u"inside");
}

TEST_F(PageScripts, ThePagesEventsReachTheSinksInOrderWithTheirSource) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "<form id=f onsubmit='return false'><p><input type=checkbox id=c>"
      "<button id=b>Go</button></p></form>"));
  std::vector<std::string> seen;
  auto sink = platform::MakePageEventSink([&](PageEventType type, const ComPtr<platform::PageEvent>& e) {
    const auto source = e->srcElement();
    std::string entry = platform::U8(platform::PageEventName(type)) + " " +
                        platform::U8(source ? source->getAttribute(u"id").ToText() : u"");
    if (!e->propertyName().empty()) entry += " " + platform::U8(e->propertyName());
    seen.push_back(entry);
    // While the event runs, it is the window's.
    EXPECT_EQ(platform::ComIdentity(doc_->parentWindow()->event()), platform::ComIdentity(e));
    return true;
  });
  platform::PageEventConnection onDocument, onForm, onBox;
  onDocument.Connect(ComPtr<platform::PageEventSource>(doc_.Get()), sink);
  onForm.Connect(ComPtr<platform::PageEventSource>(ById(u"f").Get()), sink);
  onBox.Connect(ComPtr<platform::PageEventSource>(ById(u"c").Get()), sink);
  ById(u"c")->click();
  ById(u"b")->click();
  ASSERT_TRUE(tab_->WaitUntil([&] { return seen.size() >= 8; }, 5s));
  EXPECT_EQ(seen, (std::vector<std::string>{"propertychange c checked", "click c", "click c",
                                            "click c", "change c", "click b", "click b",
                                            "submit f"}))
      << "a click reaches the control, then bubbles to the form and the document";
  EXPECT_FALSE(doc_->parentWindow()->event());
  EXPECT_TRUE(ById(u"c").As<PageInputElement>()->checked());
}

TEST_F(PageScripts, DialogsAreAnsweredAndReportedWithoutBlocking) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "<button id=b onclick=\"alert('first'); document.getElementById('log').textContent ="
      " String(confirm('second'))\">b</button><p id=log></p>"));
  std::vector<std::u16string> reported;
  tab_->SetDialogHandler([&](const PageDialog& d) { reported.push_back(d.Type + u":" + d.Message); });
  ById(u"b")->click();
  EXPECT_EQ(Log(), u"false") << "a confirm is dismissed";
  ASSERT_TRUE(tab_->WaitUntil([&] { return reported.size() == 2; }, 5s));
  EXPECT_EQ(reported, (std::vector<std::u16string>{u"alert:first", u"confirm:second"}));
}

// The renderer processes of our browser (its process group).
std::vector<pid_t> Renderers(pid_t group) {
  std::vector<pid_t> out;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return out;
  while (dirent* entry = readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(atoi(entry->d_name));
    if (pid <= 0 || getpgid(pid) != group) continue;
    std::ifstream cmdline("/proc/" + std::string(entry->d_name) + "/cmdline");
    std::string text((std::istreambuf_iterator<char>(cmdline)), std::istreambuf_iterator<char>());
    if (text.find("--type=renderer") != std::string::npos) out.push_back(pid);
  }
  closedir(proc);
  return out;
}

TEST_F(PageScripts, AKilledRendererFailsThePendingCallAndDetachesTheDocument) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "<form><input id=i value=v></form><button id=spin onclick='for(;;){}'>spin</button>"));
  const ComPtr<PageElement> input = ById(u"i");
  ASSERT_EQ(input.As<PageInputElement>()->value(), u"v");
  const pid_t group = SharedEngine()->ProcessGroup();
  std::thread killer([group] {
    std::this_thread::sleep_for(300ms);  // the click is under way by then
    for (const pid_t pid : Renderers(group)) kill(pid, SIGKILL);
  });
  try {
    ById(u"spin")->click();
    ADD_FAILURE() << "the click of a page that never returns cannot succeed";
  } catch (const EChromiumError& e) {
    EXPECT_EQ(e.GetKind(), EChromiumError::Kind::Crashed) << e.what();
    EXPECT_NE(e.Message().find(u"crashed"), std::u16string::npos) << e.what();
  }
  killer.join();
  tab_->WaitUntil([] { return false; }, 100ms);
  EXPECT_EQ(input.As<PageInputElement>()->value(), u"") << "a detached element reads empty";
  EXPECT_EQ(input->sourceIndex(), -1);
  // The tab goes on with a new page.
  server_.Add("/next.html", "<form><input id=n value=fresh></form>");
  ASSERT_TRUE(tab_->Load(server_.Url("/next.html")));
  EXPECT_EQ(FindById(DocumentOf(tab_), u"n").As<PageInputElement>()->value(), u"fresh");
}

TEST_F(PageScripts, EveryCallHasADeadline) {
  ASSERT_NO_FATAL_FAILURE(Load("<button id=spin onclick='const t = Date.now(); while (Date.now() - t < 3000) {}'>s</button>"));
  tab_->SetCallDeadline(500ms);
  const auto started = std::chrono::steady_clock::now();
  try {
    ById(u"spin")->click();
    ADD_FAILURE() << "the call outlived its deadline";
  } catch (const EChromiumError& e) {
    EXPECT_EQ(e.GetKind(), EChromiumError::Kind::Deadline) << e.what();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
  tab_->SetCallDeadline(10s);
  // Once the page is free again, calls work again.
  ASSERT_TRUE(tab_->WaitUntil([&] { return ById(u"spin") != nullptr; }, 10s));
}

}  // namespace
}  // namespace qm::chromium::testing
