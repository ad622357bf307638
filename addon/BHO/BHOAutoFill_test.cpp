// Automatic submit and its loop protection, end to end, and the loop
// tracer's own rules.
#include <gtest/gtest.h>

#include "engines/memdom/UserActions.h"
#include "testsupport/BhoWindow.h"

namespace qm {
namespace {

using testing::SavePageForms;
using testing::TBhoEnvironment;
using testing::TBhoWindow;
using JournalKind = platform::ui::TJournalEntry::TKind;
namespace ui = platform::ui;

constexpr char16_t LoopQuestion[] =
    u"It may well be to get caught in an endless loop.\r\nAre you want to continue?";

// A login form whose stored card submits it; %s is its action.
std::string LoginForm(const std::string& action, const std::string& extra = {}) {
  return "<form action='" + action +
         "' method=post><input id=user name=user><input id=pass type=password name=pass>"
         "<select id=lang name=lang><option>English<option>Mars</select>"
         "<input id=go type=submit name=go value=Go></form>" +
         extra;
}

class AutoSubmit : public ::testing::Test {
protected:
  void SetUp() override { env.Manager.SetOptions(0x59 | 0x02); }  // auto fill and submit

  TBhoWindow& Window() { return env.Window; }
  TVxBrowserHelperObject& Helper() { return env.Window.Helper(); }
  std::vector<std::u16string> Messages() const {
    std::vector<std::u16string> texts;
    for (const auto& entry : env.Backend.Entries(JournalKind::Message))
      texts.push_back(entry.Text);
    return texts;
  }
  // Shows the page once without submitting anything, stores what the
  // user typed (pressing the submit button made it the card's submitter).
  void StoreLogin(const std::u16string& url) {
    Helper().Agent().SetActive(false);
    Window().Load(url);
    memdom::TypeText(Window().Element(u"user"), u"ada");
    memdom::TypeText(Window().Element(u"pass"), u"pw");
    memdom::PressMouse(Window().Element(u"go"));
    SavePageForms(Window(), env.Manager.Server(), u"Login");
    Helper().Agent().SetActive(true);
    env.Backend.ClearJournal();
  }

  TBhoEnvironment env;
};

TEST_F(AutoSubmit, APageThatComesBackAfterEachSubmitAsksTheLoopQuestion) {
  Window().AddPage(u"http://site.example/login", LoginForm(""));
  StoreLogin(u"http://site.example/login");
  auto& pages = Window().Pages();

  // Filled, submitted to itself, filled again: the second identical submit
  // in one trace asks. No leaves the page alone.
  env.Backend.Answer(ui::IDNO);
  const size_t before = pages.Requests.size();
  EXPECT_EQ(Window().Load(u"http://site.example/login"), 2u);
  ASSERT_EQ(Messages(), std::vector<std::u16string>{LoopQuestion});
  EXPECT_EQ(pages.Requests.size() - before, 2u);
  EXPECT_EQ(pages.Requests.back().Method, u"post");
  EXPECT_EQ(Window().Value(u"user"), u"ada") << "filled, but not submitted";
  const auto question = env.Backend.Entries(JournalKind::Message).front();
  EXPECT_EQ(question.Caption, u"Quillora");
  EXPECT_EQ(question.Icon, ui::TMsgIcon::Question);

  // The user goes to the page again (the trace still runs): Yes submits
  // once more and starts a new trace, whose repeat asks again.
  env.Backend.Answer(ui::IDYES);
  env.Backend.Answer(ui::IDNO);
  EXPECT_EQ(Window().Load(u"http://site.example/login"), 2u);
  EXPECT_EQ(Messages().size(), 3u);
  EXPECT_EQ(env.Backend.AnswersLeft(), 0);
  EXPECT_EQ(Helper().Tracer().Count(), 1);
}

TEST_F(AutoSubmit, AUsersClickEndsTheTrace) {
  Window().AddPage(u"http://site.example/login", LoginForm("welcome"));
  Window().AddPage(u"http://site.example/welcome", "<a id=again href=login>Log in again</a>");
  StoreLogin(u"http://site.example/login");
  EXPECT_EQ(Window().Load(u"http://site.example/login"), 2u);
  EXPECT_EQ(Window().Browser()->LocationURL(), u"http://site.example/welcome");
  EXPECT_TRUE(Helper().Tracer().Tracing);
  // Back to the login page by a click: the identical submit is no loop.
  memdom::ClickAsUser(Window().Element(u"again"));
  EXPECT_FALSE(Helper().Tracer().Tracing);
  EXPECT_EQ(Window().RunPending(), 2u);
  EXPECT_EQ(Window().Browser()->LocationURL(), u"http://site.example/welcome");
  EXPECT_TRUE(Messages().empty());
}

TEST_F(AutoSubmit, ALoopThroughARefreshIsCaught) {
  // The welcome page sends the browser straight back to the login page:
  // without the question, the two would submit forever.
  Window().AddPage(u"http://site.example/login", LoginForm("welcome"));
  Window().AddPage(u"http://site.example/welcome",
                   "<meta http-equiv=refresh content='0; url=login'><p>Welcome</p>");
  StoreLogin(u"http://site.example/login");
  env.Backend.Answer(ui::IDNO);
  EXPECT_EQ(Window().Load(u"http://site.example/login", 10), 3u);
  EXPECT_EQ(Messages(), std::vector<std::u16string>{LoopQuestion});
  EXPECT_EQ(Window().Browser()->LocationURL(), u"http://site.example/login");
}

TEST_F(AutoSubmit, ARefreshToItselfIsNeverQuestioned) {
  Window().AddPage(u"http://news.example/ticker",
                   "<meta http-equiv=refresh content='0;URL=ticker'><p>News</p>");
  EXPECT_EQ(Window().Load(u"http://news.example/ticker", 5), 5u);
  EXPECT_TRUE(Messages().empty());
  const TAutoSubmitTracer& tracer = Helper().Tracer();
  EXPECT_TRUE(tracer.Tracing);
  ASSERT_EQ(tracer.Count(), 1) << "one entry says all a trace needs of the refresh";
  EXPECT_EQ(tracer[0].Kind, AutoMetaRefresh);
  EXPECT_EQ(tracer[0].Target, u"http://news.example/ticker");
  EXPECT_EQ(tracer[0].PageKey, u"http://news.example/ticker");
}

TEST_F(AutoSubmit, AFormTheCardDidNotFillWholeIsNotSubmitted) {
  Window().AddPage(u"http://site.example/login", LoginForm("welcome"));
  Helper().Agent().SetActive(false);
  Window().Load(u"http://site.example/login");
  memdom::TypeText(Window().Element(u"user"), u"ada");
  memdom::ChooseOption(Window().Element(u"lang"), 1);
  memdom::PressMouse(Window().Element(u"go"));
  SavePageForms(Window(), env.Manager.Server(), u"Login");
  Helper().Agent().SetActive(true);
  // The site dropped the option the card chose.
  Window().AddPage(u"http://site.example/login",
                   "<form action=welcome method=post><input id=user name=user>"
                   "<input id=pass type=password name=pass><select id=lang name=lang>"
                   "<option>English<option>Venus</select><input id=go type=submit name=go "
                   "value=Go></form>");
  EXPECT_EQ(Window().Load(u"http://site.example/login"), 1u);
  EXPECT_EQ(Window().Value(u"user"), u"ada");
  EXPECT_EQ(Messages(), std::vector<std::u16string>{
                            u"There are not all fields in the form properly filled!\r\n"
                            u"Submitting is broken."});
  EXPECT_EQ(env.Backend.Entries(JournalKind::Message)[0].Icon, ui::TMsgIcon::Information);
}

TEST(AutoSubmitTracer, RegistersEachActionOncePerTrace) {
  TAutoSubmitTracer tracer;
  EXPECT_TRUE(tracer.Register(u"k", u"http://h/a", AutoSubmitPost, u"x"));
  EXPECT_TRUE(tracer.Tracing);
  EXPECT_FALSE(tracer.Register(u"k", u"http://h/a", AutoSubmitPost, u"x"));
  EXPECT_TRUE(tracer.Register(u"k", u"http://h/a", AutoSubmitPost, u"X")) << "case counts";
  EXPECT_TRUE(tracer.Register(u"k", u"http://h/a", AutoSubmitGet, u"x"));
  EXPECT_EQ(tracer.Count(), 3);
  // A submitted form leads to its action, whatever query it adds.
  tracer.CheckNavigation(u"http://h/a/?q=1");
  EXPECT_TRUE(tracer.Tracing);
  tracer.CheckNavigation(u"http://h/b");
  EXPECT_FALSE(tracer.Tracing);
  EXPECT_EQ(tracer.Count(), 3) << "the items stay until the next action";
  EXPECT_TRUE(tracer.Register(u"k", u"http://h/a", AutoSubmitPost, u"x"));
  EXPECT_EQ(tracer.Count(), 1);
}

TEST(AutoSubmitTracer, StepsAndRefreshesLeadToTheirAddressUnchangedAndAMailNowhere) {
  TAutoSubmitTracer tracer;
  tracer.Register(u"k", u"http://h/next", AutoNavigationStep, u"a");
  tracer.CheckNavigation(u"http://h/next/");
  EXPECT_FALSE(tracer.Tracing);
  tracer.Register(u"k", u"http://h/next", AutoNavigationStep, u"a");
  tracer.CheckNavigation(u"http://h/next");
  EXPECT_TRUE(tracer.Tracing);
  tracer.Register(u"k", u"mailto:a@h", AutoMailSent, u"s[b]");
  tracer.CheckNavigation(u"mailto:a@h");
  EXPECT_FALSE(tracer.Tracing);
  // Refreshes are never repeats.
  EXPECT_TRUE(tracer.Register(u"k", u"http://h/r", AutoMetaRefresh, u""));
  EXPECT_TRUE(tracer.Register(u"k", u"http://h/s", AutoMetaRefresh, u""));
  EXPECT_TRUE(tracer.Register(u"k", u"http://h/s", AutoMetaRefresh, u""));
  EXPECT_EQ(tracer.Count(), 2);
}

}  // namespace
}  // namespace qm
