#include <gtest/gtest.h>

#include "engines/memdom/FormSubmission.h"
#include "engines/memdom/MemdomTesting.h"

namespace qm::memdom {
namespace {

using namespace qm::memdom::testing;
using platform::ComIdentity;
using platform::PageFormElement;
using platform::PageInputElement;

class MemForms : public ::testing::Test {
protected:
  ComPtr<MemDocument> Load(std::string_view html) { return LoadPage(html, kUrl, &host_); }
  static constexpr const char16_t* kUrl = u"http://example.com/dir/page.html";
  RecordingHost host_;
};

TEST_F(MemForms, ItemsAreTheListedControlsInOrderAndTheSameObjectsAsAll) {
  auto doc = Load(
      "<form id=f><input id=a><p><select id=b></select></p><label>x</label><textarea id=c>"
      "</textarea><button id=d>go</button><fieldset id=e><output id=g></output></fieldset>"
      "<object id=h></object><img id=i></form><input id=j form=f>");
  auto form = ViewById<PageFormElement>(doc, u"f");
  const std::u16string expected[] = {u"a", u"b", u"c", u"d", u"e", u"g", u"h", u"j"};
  ASSERT_EQ(form->length(), 8);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(form->item(i)->getAttribute(u"id"), Variant::FromString(expected[i]));
  }
  EXPECT_FALSE(form->item(8));
  EXPECT_FALSE(form->item(-1));
  // The same object: an attribute set through one is seen through the other.
  form->item(0)->setAttribute(u"SinkID", Variant::FromInt32(1));
  auto fromAll = doc->all()->item(form->item(0)->sourceIndex());
  EXPECT_EQ(ComIdentity(fromAll), ComIdentity(form->item(0)));
  EXPECT_EQ(fromAll->getAttribute(u"sinkid"), Variant::FromInt32(1));
  EXPECT_EQ(ComIdentity(doc->forms()->item(0)), ComIdentity(ById(doc, u"f")));
  EXPECT_EQ(form->tags(u"INPUT")->length(), 2);
}

TEST_F(MemForms, AFormOpenedInsideATableOwnsTheControlsOfItsCells) {
  auto doc = Load(
      "<table><form id=f action=go><tr><td><input id=a name=a value=1></td></tr></form>"
      "<tr><td><input id=b name=b></td></tr></table><input id=c>");
  auto form = ViewById<PageFormElement>(doc, u"f");
  EXPECT_EQ(ById(doc, u"f")->innerHTML(), u"");  // the parser left the form empty
  ASSERT_EQ(form->length(), 1);
  EXPECT_EQ(ComIdentity(form->item(0)), ComIdentity(ById(doc, u"a")));
  EXPECT_FALSE(ViewById<PageInputElement>(doc, u"b")->form());
  EXPECT_EQ(ComIdentity(ViewById<PageInputElement>(doc, u"a")->form()),
            ComIdentity(ById(doc, u"f")));
}

TEST_F(MemForms, SourceIndexIsThePositionInAll) {
  auto doc = Load("<div id=a></div><span id=b></span>");
  auto all = doc->all();
  for (int32_t i = 0; i < all->length(); ++i)
    EXPECT_EQ(all->item(i)->sourceIndex(), i);
  EXPECT_EQ(all->item(0)->tagName(), u"HTML");
}

TEST_F(MemForms, SubmitButtonClickRaisesOnsubmitAndPostsTheSuccessfulControls) {
  auto doc = Load(
      "<form id=f method=POST action='/cgi/save?old=1'>"
      "<input name=user value='Jo Doe'><input type=password name=pw value='a&b'>"
      "<input type=checkbox name=c1 checked><input type=checkbox name=c2 value=v>"
      "<input type=radio name=r value=x><input type=radio name=r value=y checked>"
      "<input type=hidden name=h value='\xC3\xBC'><input name=dis value=1 disabled>"
      "<select name=s multiple><option selected>one<option value=2 selected>two<option>3</select>"
      "<textarea name=t>l1\nl2</textarea><input type=submit name=go value=Send id=go>"
      "<input type=submit name=other value=Other><button name=b>b</button></form>");
  bool submitted = false;
  auto sink = platform::MakePageEventSink([&](platform::PageEventType type, auto&) {
    submitted = submitted || type == platform::PageEventType::Submit;
    return true;
  });
  platform::PageEventConnection connection;
  connection.Connect(ComPtr<platform::PageEventSource>(ById(doc, u"f")), sink);
  ById(doc, u"go")->click();
  EXPECT_TRUE(submitted);
  ASSERT_EQ(host_.Requests.size(), 1u);
  const NavigationRequest& r = host_.Requests[0];
  EXPECT_EQ(r.Method, u"post");
  EXPECT_EQ(r.Url, u"http://example.com/cgi/save?old=1");
  EXPECT_EQ(r.Headers, u"Content-Type: application/x-www-form-urlencoded\r\n");
  EXPECT_EQ(PostText(r), "user=Jo+Doe&pw=a%26b&c1=on&r=y&h=%C3%BC&s=one&s=2&t=l1%0D%0Al2&go=Send");
}

TEST_F(MemForms, ACancelledOnsubmitSendsNothing) {
  auto doc = Load(
      "<form onsubmit='return false'><input type=submit id=go></form>"
      "<form id=g><input type=image id=img name=pic></form>");
  ById(doc, u"go")->click();
  EXPECT_TRUE(host_.Requests.empty());
  auto sink = platform::MakePageEventSink([](auto, auto&) { return false; });
  platform::PageEventConnection connection;
  connection.Connect(ComPtr<platform::PageEventSource>(ById(doc, u"g")), sink);
  ById(doc, u"img")->click();
  EXPECT_TRUE(host_.Requests.empty());
  connection.Disconnect();
  ById(doc, u"img")->click();
  ASSERT_EQ(host_.Requests.size(), 1u);
  EXPECT_EQ(host_.Requests[0].Url, u"http://example.com/dir/page.html?pic.x=0&pic.y=0");
}

TEST_F(MemForms, ScriptSubmitSkipsOnsubmitAndGetReplacesTheQuery) {
  int handlers = 0;
  auto scripts = std::make_shared<ScriptBindings>();
  scripts->Bind(u"count()", [&](ScriptContext&) { ++handlers; });
  auto doc = LoadPage(
      "<form id=f action='find?old=1#top' onsubmit='count()'>"
      "<input name=q value='a b'><input type=submit name=go></form>",
      kUrl, &host_, scripts);
  ViewById<PageFormElement>(doc, u"f")->submit();
  EXPECT_EQ(handlers, 0);
  ASSERT_EQ(host_.Requests.size(), 1u);
  EXPECT_EQ(host_.Requests[0].Method, u"get");
  EXPECT_EQ(host_.Requests[0].Url, u"http://example.com/dir/find?q=a+b#top");
  EXPECT_TRUE(host_.Requests[0].PostData.empty());
}

TEST_F(MemForms, AWindows1252PageSendsItsOwnBytesAndEscapesTheRest) {
  DocumentOptions options;
  options.Url = kUrl;
  options.Host = &host_;
  options.Charset = u"ISO-8859-1";
  auto doc = MemDocument::Load(
      "<form method=post><input name=n value='\xFC\xE9'><input id=i name=m>"
      "<input type=submit id=go></form>",
      options);
  EXPECT_EQ(doc->charset(), u"windows-1252");
  ViewById<PageInputElement>(doc, u"i")->setValue(u"\u20AC\u4E2D");
  ById(doc, u"go")->click();
  ASSERT_EQ(host_.Requests.size(), 1u);
  EXPECT_EQ(PostText(host_.Requests[0]), "n=%FC%E9&m=%80%26%2320013%3B");
}

TEST_F(MemForms, MultipartBodiesCarryEveryEntry) {
  auto doc = Load(
      "<form method=post enctype=multipart/form-data><input name='a\"b' value=1>"
      "<input type=file name=f><input type=submit id=go></form>");
  ById(doc, u"go")->click();
  ASSERT_EQ(host_.Requests.size(), 1u);
  const std::string headers = platform::U8(host_.Requests[0].Headers);
  const std::string prefix = "Content-Type: multipart/form-data; boundary=";
  ASSERT_EQ(headers.rfind(prefix, 0), 0u);
  const std::string boundary = headers.substr(prefix.size(), headers.size() - prefix.size() - 2);
  EXPECT_EQ(PostText(host_.Requests[0]),
            "--" + boundary + "\r\nContent-Disposition: form-data; name=\"a%22b\"\r\n\r\n1\r\n--" +
                boundary +
                "\r\nContent-Disposition: form-data; name=\"f\"; filename=\"\"\r\nContent-Type: "
                "application/octet-stream\r\n\r\n\r\n--" +
                boundary + "--\r\n");
}

TEST_F(MemForms, ResetRestoresTheMarkupState) {
  auto doc = Load(
      "<form><input id=t value=orig><input id=c type=checkbox checked>"
      "<select id=s><option>a<option selected>b</select>"
      "<input type=reset id=r></form>");
  ViewById<PageInputElement>(doc, u"t")->setValue(u"changed");
  ViewById<PageInputElement>(doc, u"c")->setChecked(false);
  ViewById<platform::PageSelectElement>(doc, u"s")->setSelectedIndex(0);
  ById(doc, u"r")->click();
  EXPECT_EQ(ViewById<PageInputElement>(doc, u"t")->value(), u"orig");
  EXPECT_TRUE(ViewById<PageInputElement>(doc, u"c")->checked());
  EXPECT_EQ(ViewById<platform::PageSelectElement>(doc, u"s")->selectedIndex(), 1);
  EXPECT_TRUE(host_.Requests.empty());
}

TEST_F(MemForms, LinksAskForNavigationAlsoFromInsideAndJavascriptLinksRunScripts) {
  int ran = 0;
  auto scripts = std::make_shared<ScriptBindings>();
  scripts->Bind(u"go(1)", [&](ScriptContext& context) {
    ++ran;
    EXPECT_TRUE(context.Element);
  });
  auto doc = LoadPage(
      "<a href='next.html' target=side><img id=i></a>"
      "<a id=j href='javascript:go(1)'>j</a><a id=k>none</a>",
      kUrl, &host_, scripts);
  ById(doc, u"i")->click();
  ASSERT_EQ(host_.Requests.size(), 1u);
  EXPECT_EQ(host_.Requests[0].Url, u"http://example.com/dir/next.html");
  EXPECT_EQ(host_.Requests[0].Target, u"side");
  ById(doc, u"j")->click();
  ById(doc, u"k")->click();
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(host_.Requests.size(), 1u);
}

TEST_F(MemForms, ControlsAddedLaterJoinTheirForm) {
  auto doc = Load("<form id=f><input id=a name=r type=radio checked></form>");
  auto form = ViewById<PageFormElement>(doc, u"f");
  doc->AppendHtml(*doc->ElementById(u"f"), "<input id=b name=r type=radio checked><input>");
  EXPECT_EQ(form->length(), 3);
  EXPECT_FALSE(ViewById<PageInputElement>(doc, u"a")->checked());
  EXPECT_TRUE(ViewById<PageInputElement>(doc, u"b")->checked());
  doc->AppendHtml(*doc->Body(), "<form id=g></form>");
  EXPECT_EQ(doc->forms()->length(), 2);
  doc->RemoveElement(*doc->ElementById(u"f"));
  EXPECT_EQ(doc->forms()->length(), 1);
  EXPECT_EQ(form->length(), 0);
  EXPECT_EQ(ById(doc, u"a"), nullptr);
}

}  // namespace
}  // namespace qm::memdom
