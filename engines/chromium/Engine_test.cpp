// The engine itself: the browser process, the tab, reading and writing a
// page's controls, and the page's events.
#include <gtest/gtest.h>

#include "engines/chromium/ChromiumElement.h"
#include "engines/chromium/ChromiumTesting.h"
#include "platform/com/PendingEvents.h"

namespace qm::chromium::testing {

namespace {

class ChromiumEnvironment final : public ::testing::Environment {
public:
  void TearDown() override {
    if (SharedEngine()) {
      const pid_t group = SharedEngine()->ProcessGroup();
      SharedEngine()->Close();
      SharedEngine().reset();
      // Nothing of the browser may outlive the tests.
      EXPECT_FALSE(ProcessGroupAlive(group));
    }
  }
};

[[maybe_unused]] auto* const environment =
    ::testing::AddGlobalTestEnvironment(new ChromiumEnvironment);

}  // namespace

std::shared_ptr<ChromiumEngine>& SharedEngine() {
  static std::shared_ptr<ChromiumEngine> engine = ChromiumEngine::Start();
  return engine;
}

namespace {

using platform::PageElement;
using platform::PageInputElement;
using platform::PageSelectElement;

class EngineTest : public PageTest {
};

TEST_F(EngineTest, ReadsFormsAndControlsOfTheLoadedPage) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "<title>T</title><form name=f method=POST action=/go><input id=a name=a value=one>"
      "<select id=s name=s><option>x<option selected value=Y>y</select>"
      "<textarea id=t name=t>text</textarea></form>"));
  EXPECT_EQ(doc_->title(), u"T");
  EXPECT_EQ(doc_->charset(), u"utf-8");
  const auto forms = doc_->forms();
  ASSERT_EQ(forms->length(), 1);
  const auto form = forms->item(0).As<platform::PageFormElement>();
  ASSERT_TRUE(form);
  EXPECT_EQ(form->length(), 3);
  EXPECT_EQ(form->method(), u"post");
  EXPECT_EQ(form->name(), u"f");
  EXPECT_EQ(ById(u"a").As<PageInputElement>()->value(), u"one");
  EXPECT_EQ(ById(u"s").As<PageSelectElement>()->value(), u"Y");
  EXPECT_EQ(ById(u"s").As<PageSelectElement>()->selectedIndex(), 1);
  EXPECT_EQ(platform::ComIdentity(form->item(0)), platform::ComIdentity(ById(u"a")))
      << "the same element however it is reached";
}

TEST_F(EngineTest, WritesReachThePageAndItsInputAndChangeEvents) {
  ASSERT_NO_FATAL_FAILURE(Load(
      "<input id=a><div id=log></div><script>"
      "const a = document.getElementById('a');"
      "a.addEventListener('input', () => document.getElementById('log').textContent += 'i');"
      "a.addEventListener('change', () => document.getElementById('log').textContent += 'c');"
      "</script>"));
  ById(u"a").As<PageInputElement>()->setValue(u"hello");
  EXPECT_EQ(ById(u"a").As<PageInputElement>()->value(), u"hello");
  tab_->FlushWrites();
  EXPECT_EQ(ById(u"log")->innerText(), u"ic");
}

}  // namespace
}  // namespace qm::chromium::testing
