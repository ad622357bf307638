// Hostile pages neither crash nor hang the engine, and no browser process
// outlives the program that started it, even when that program is killed.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "engines/chromium/ChromiumTesting.h"

namespace qm::chromium::testing {
namespace {

using platform::PageElement;
using platform::PageInputElement;
using platform::PageOptionElement;
using platform::PageSelectElement;

class HostilePages : public PageTest {
};

TEST_F(HostilePages, AHundredThousandControlsAreReadAndFilled) {
  // A page this size takes the browser seconds to describe on a busy
  // machine; the point is that it ends, not how fast.
  tab_->SetCallDeadline(60s);
  ASSERT_NO_FATAL_FAILURE(Load(
      "<form id=f></form><script>let h = '';"
      "for (let i = 0; i < 100000; i++) h += '<input name=n' + i + '>';"
      "document.getElementById('f').innerHTML = h;</script>"));
  const auto form = Form(0);
  ASSERT_TRUE(form);
  ASSERT_EQ(form->length(), 100000);
  const auto last = form->item(99999).As<PageInputElement>();
  EXPECT_EQ(last->name(), u"n99999");
  last->setValue(u"end");
  tab_->FlushWrites();
  EXPECT_EQ(form->item(99999).As<PageInputElement>()->value(), u"end");
}

// Unrendered: Chromium's own layout gives up (its renderer crashes) long
// before 10,000 levels; what is tested here is our side.
TEST_F(HostilePages, AFormTenThousandLevelsDeepIsFoundAndClicked) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "<div id=top hidden></div><script>let n = document.getElementById('top');"
      "for (let i = 0; i < 10000; i++) n = n.appendChild(document.createElement('div'));"
      "n.innerHTML = '<form><input type=checkbox id=deep></form>';</script>"));
  ASSERT_EQ(doc_->forms()->length(), 1);
  int clicks = 0;
  platform::PageEventConnection onDocument;
  onDocument.Connect(ComPtr<platform::PageEventSource>(doc_.Get()),
                     platform::MakePageEventSink([&](platform::PageEventType type, auto&) {
                       clicks += type == platform::PageEventType::Click;
                       return true;
                     }));
  const ComPtr<PageElement> deep = Form(0)->item(0);
  deep->click();
  EXPECT_TRUE(deep.As<PageInputElement>()->checked());
  EXPECT_TRUE(tab_->WaitUntil([&] { return clicks == 1; }, 5s)) << "bubbled up 10,000 levels";
  EXPECT_GT(deep->sourceIndex(), 10000);
  EXPECT_EQ(deep->parentElement()->tagName(), u"FORM");
}

TEST_F(HostilePages, HugeOptionTextsUnpairedSurrogatesAndOddAttributeNames) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "<form><select id=s><option>short</select><input id=i x\"y=1 'z=2 \xC3\xBC=3></form>"
      "<script>const o = document.createElement('option');"
      "o.text = 'x'.repeat(1 << 20); document.getElementById('s').appendChild(o);"
      "document.getElementById('i').value = 'a\\uD800b';</script>"));
  const auto select = Form(0)->item(0).As<PageSelectElement>();
  ASSERT_EQ(select->length(), 2);
  EXPECT_EQ(select->item(1).As<PageOptionElement>()->text().size(), size_t{1} << 20);
  const ComPtr<PageElement> input = Form(0)->item(1);
  EXPECT_EQ(input.As<PageInputElement>()->value(), u"a\uFFFDb") << "made well formed, not dropped";
  EXPECT_EQ(input->getAttribute(u"x\"y").ToText(), u"1");
  EXPECT_EQ(input->getAttribute(u"'z").ToText(), u"2");
  EXPECT_EQ(input->getAttribute(u"\u00FC").ToText(), u"3");
  // Names the page's DOM refuses still stay on the element.
  input->setAttribute(u"Profile field", platform::Variant::FromString(u"City"));
  input->setAttribute(u"<a \"b\">", platform::Variant::FromString(u"odd"));
  tab_->FlushWrites();
  tab_->WaitUntil([] { return false; }, 50ms);
  EXPECT_EQ(input->getAttribute(u"profile FIELD").ToText(), u"City");
  EXPECT_EQ(input->getAttribute(u"<a \"b\">").ToText(), u"odd");
}

TEST(BrowserProcess, NoBrowserOutlivesAKilledProgram) {
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The program that gets killed: it starts a browser and waits.
    close(report[0]);
    try {
      const auto engine = ChromiumEngine::Start();
      const pid_t group = engine->ProcessGroup();
      if (write(report[1], &group, sizeof group) != sizeof group) _exit(2);
      for (;;) pause();
    } catch (...) {
      _exit(3);
    }
  }
  close(report[1]);
  pid_t group = -1;
  const ssize_t got = read(report[0], &group, sizeof group);
  close(report[0]);
  ASSERT_EQ(got, static_cast<ssize_t>(sizeof group));
  ASSERT_TRUE(ProcessGroupAlive(group));
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  const auto until = std::chrono::steady_clock::now() + 15s;
  while (ProcessGroupAlive(group) && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(20ms);  // polling a process group: no event tells us
  }
  EXPECT_FALSE(ProcessGroupAlive(group)) << "the browser died with the program";
  if (ProcessGroupAlive(group)) kill(-group, SIGKILL);
}

}  // namespace
}  // namespace qm::chromium::testing
