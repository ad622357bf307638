#include <gtest/gtest.h>

#include "engines/memdom/MemdomTesting.h"
#include "engines/memdom/UserActions.h"

namespace qm::memdom {
namespace {

using namespace qm::memdom::testing;
using platform::ComIdentity;
using platform::MakePageEventSink;
using platform::PageEventConnection;
using platform::PageEventSource;
using platform::PageEventType;
using platform::PageInputElement;
using platform::PageSelectElement;

// Connects to a source and writes down what arrives, with the window's
// event and its source element at that moment.
struct Recorder {
  std::vector<std::u16string> Log;
  PageEventConnection Connection;

  void Connect(const ComPtr<PageEventSource>& source, std::u16string label,
               ComPtr<MemDocument> document, bool answer = true) {
    Connection.Connect(
        source,
        MakePageEventSink([this, label, document, answer](PageEventType type, const auto& event) {
          std::u16string entry = label + u":" + std::u16string(platform::PageEventName(type));
          auto current = document->parentWindow()->event();
          if (current && ComIdentity(current) == ComIdentity(event) && event->srcElement()) {
            entry += u"@" + event->srcElement()->getAttribute(u"id").ToText();
          }
          if (!event->propertyName().empty()) entry += u"." + event->propertyName();
          Log.push_back(entry);
          return answer;
        }));
  }
};

TEST(MemEvents, ClicksBubbleFromTheTargetToTheDocumentWithWindowEventSet) {
  auto doc = LoadPage("<form id=f><p id=p><input id=i type=button></p></form>");
  std::vector<std::u16string> log;
  Recorder input, form, document;
  input.Connect(ComPtr<PageEventSource>(ById(doc, u"i")), u"input", doc);
  form.Connect(ComPtr<PageEventSource>(ById(doc, u"f")), u"form", doc);
  document.Connect(ComPtr<PageEventSource>(doc.Get()), u"doc", doc);
  ClickAsUser(ById(doc, u"i"));
  const std::vector<std::u16string> inputLog = {u"input:mousedown@i", u"input:mouseup@i",
                                                u"input:click@i"};
  EXPECT_EQ(input.Log, inputLog);
  EXPECT_EQ(form.Log,
            (std::vector<std::u16string>{u"form:mousedown@i", u"form:mouseup@i", u"form:click@i"}));
  EXPECT_EQ(document.Log,
            (std::vector<std::u16string>{u"doc:mousedown@i", u"doc:mouseup@i", u"doc:click@i"}));
  EXPECT_FALSE(doc->parentWindow()->event());
  EXPECT_EQ(ComIdentity(doc->activeElement()), ComIdentity(ById(doc, u"i")));
}

TEST(MemEvents, ADisconnectedSinkHearsNothingAndForgetsItsElement) {
  auto doc = LoadPage("<input id=i>");
  int kept = 0;
  int cut = 0;
  PageEventConnection cutter, keeper, victim;
  // The first sink disconnects the third in the middle of the event.
  cutter.Connect(ComPtr<PageEventSource>(ById(doc, u"i")), MakePageEventSink([&](auto, auto&) {
                   victim.Disconnect();
                   return true;
                 }));
  keeper.Connect(ComPtr<PageEventSource>(ById(doc, u"i")), MakePageEventSink([&](auto, auto&) {
                   ++kept;
                   return true;
                 }));
  victim.Connect(ComPtr<PageEventSource>(ById(doc, u"i")), MakePageEventSink([&](auto, auto&) {
                   ++cut;
                   return true;
                 }));
  ById(doc, u"i")->click();
  EXPECT_EQ(kept, 1);
  EXPECT_EQ(cut, 0);
  EXPECT_FALSE(victim.Connected());
  EXPECT_FALSE(victim.ConnectedSource());
  keeper.Disconnect();
  ById(doc, u"i")->click();
  EXPECT_EQ(kept, 1);
  // Disconnecting twice, or after the page went, is harmless.
  keeper.Disconnect();
  cutter.Connect(ComPtr<PageEventSource>(ById(doc, u"i")),
                 MakePageEventSink([](auto, auto&) { return true; }));
  doc->Close();
  cutter.Disconnect();
}

TEST(MemEvents, ProgramWritesRaisePropertyChangeForSinksButRunNoPageScript) {
  int scripts = 0;
  auto bindings = std::make_shared<ScriptBindings>();
  bindings->Bind(u"touched()", [&](ScriptContext&) { ++scripts; });
  auto doc = LoadPage(
      "<input id=i onpropertychange='touched()' onchange='touched()'>"
      "<input id=c type=checkbox><select id=s onchange='touched()'><option>a<option id=o>b"
      "</select><textarea id=t></textarea>",
      u"http://example.com/", nullptr, bindings);
  Recorder input, box, option, area;
  input.Connect(ComPtr<PageEventSource>(ById(doc, u"i")), u"i", doc);
  box.Connect(ComPtr<PageEventSource>(ById(doc, u"c")), u"c", doc);
  option.Connect(ComPtr<PageEventSource>(ById(doc, u"o")), u"o", doc);
  area.Connect(ComPtr<PageEventSource>(ById(doc, u"t")), u"t", doc);
  ViewById<PageInputElement>(doc, u"i")->setValue(u"x");
  ViewById<PageInputElement>(doc, u"i")->setValue(u"x");  // no change, no event
  ViewById<PageInputElement>(doc, u"c")->setChecked(true);
  ViewById<PageSelectElement>(doc, u"s")->setValue(u"b");
  ViewById<platform::PageTextAreaElement>(doc, u"t")->setValue(u"text");
  ById(doc, u"i")->setAttribute(u"Profile field", Variant::FromString(u"x"));
  EXPECT_EQ(input.Log, std::vector<std::u16string>{u"i:propertychange@i.value"});
  EXPECT_EQ(box.Log, std::vector<std::u16string>{u"c:propertychange@c.checked"});
  EXPECT_EQ(option.Log, std::vector<std::u16string>{u"o:propertychange@o.selected"});
  EXPECT_EQ(area.Log, std::vector<std::u16string>{u"t:propertychange@t.value"});
  EXPECT_EQ(scripts, 0);
}

TEST(MemEvents, TypingIsOneValueChangePerKeystrokeAndBlurCommitsTheChange) {
  int changes = 0;
  auto bindings = std::make_shared<ScriptBindings>();
  bindings->Bind(u"changed()", [&](ScriptContext&) { ++changes; });
  auto doc = LoadPage("<input id=i maxlength=3 onchange='changed()'><input id=j>",
                      u"http://example.com/", nullptr, bindings);
  Recorder input;
  input.Connect(ComPtr<PageEventSource>(ById(doc, u"i")), u"i", doc);
  TypeText(ById(doc, u"i"), u"abcd\n");
  EXPECT_EQ(ViewById<PageInputElement>(doc, u"i")->value(), u"abc");
  EXPECT_EQ(input.Log.size(), 3u);
  EXPECT_EQ(changes, 0);
  FocusElement(ById(doc, u"j"));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(input.Log.back(), u"i:change@i");
  FocusElement(ById(doc, u"i"));
  FocusElement(ById(doc, u"j"));  // unchanged: no second change
  EXPECT_EQ(changes, 1);
}

TEST(MemEvents, ChoosingAnOptionRaisesChangeAtTheSelect) {
  auto doc = LoadPage("<select id=s><option>a<option>b</select>");
  Recorder select;
  select.Connect(ComPtr<PageEventSource>(ById(doc, u"s")), u"s", doc);
  ChooseOption(ById(doc, u"s"), 1);
  ChooseOption(ById(doc, u"s"), 1);
  EXPECT_EQ(select.Log, std::vector<std::u16string>{u"s:change@s"});
  EXPECT_EQ(ViewById<PageSelectElement>(doc, u"s")->selectedIndex(), 1);
}

TEST(MemEvents, HandlerScriptsAreValuesThatMoveBetweenElements) {
  int runs = 0;
  auto bindings = std::make_shared<ScriptBindings>();
  bindings->Bind(u"pick(this)", [&](ScriptContext& context) {
    ++runs;
    EXPECT_EQ(context.Element->getAttribute(u"id").ToText(), u"s");
  });
  auto doc = LoadPage("<select id=s onchange='pick(this)'><option>a</select><div id=d></div>",
                      u"http://example.com/", nullptr, bindings);
  auto select = ViewById<PageSelectElement>(doc, u"s");
  auto element = ById(doc, u"s");
  EXPECT_TRUE(element->onclick().IsNull());
  const Variant script = select->onchange();
  ASSERT_FALSE(script.IsEmptyOrNull());
  element->setOnclick(script);
  element->click();
  EXPECT_EQ(runs, 1);
  element->setOnclick(Variant::Null());
  EXPECT_TRUE(element->onclick().IsNull());
  element->click();
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(ById(doc, u"d")->onclick().IsNull());
}

TEST(MemEvents, CancelledClicksKeepTheirDefaultAndHandlersMayStopBubbling) {
  auto bindings = std::make_shared<ScriptBindings>();
  bindings->Bind(u"stop()", [](ScriptContext& context) { context.CancelBubble = true; });
  RecordingHost host;
  auto doc = LoadPage("<div id=d><a id=a href=x onclick='stop()'>x</a></div>",
                      u"http://example.com/", &host, bindings);
  Recorder outer;
  outer.Connect(ComPtr<PageEventSource>(ById(doc, u"d")), u"d", doc);
  ById(doc, u"a")->click();
  EXPECT_TRUE(outer.Log.empty());
  EXPECT_EQ(host.Requests.size(), 1u);
  Recorder refusing;
  refusing.Connect(ComPtr<PageEventSource>(ById(doc, u"a")), u"a", doc, false);
  ById(doc, u"a")->click();
  EXPECT_EQ(host.Requests.size(), 1u);
}

TEST(MemEvents, WindowLoadRunsTheBodysScriptThenTheSinks) {
  std::vector<std::u16string> order;
  auto bindings = std::make_shared<ScriptBindings>();
  bindings->Bind(u"init()", [&](ScriptContext&) { order.push_back(u"script"); });
  auto doc = LoadPage("<body onload='init()'>", u"http://example.com/", nullptr, bindings);
  PageEventConnection connection;
  connection.Connect(ComPtr<PageEventSource>(doc->parentWindow()),
                     MakePageEventSink([&](PageEventType type, auto&) {
                       if (type == PageEventType::Load) order.push_back(u"sink");
                       return true;
                     }));
  FireLoad(*doc);
  EXPECT_EQ(order, (std::vector<std::u16string>{u"script", u"sink"}));
}

TEST(MemEvents, ElementsOfAClosedDocumentAreSafeAndInert) {
  RecordingHost host;
  auto doc = LoadPage("<form id=f><input id=i value=v><a id=a href=x>x</a></form>",
                      u"http://example.com/", &host);
  auto input = ById(doc, u"i");
  auto link = ById(doc, u"a");
  auto form = ViewById<platform::PageFormElement>(doc, u"f");
  int calls = 0;
  PageEventConnection connection;
  connection.Connect(ComPtr<PageEventSource>(input), MakePageEventSink([&](auto, auto&) {
                       ++calls;
                       return true;
                     }));
  doc->Close();
  doc = nullptr;  // the document is gone; the elements are still held
  EXPECT_EQ(input.As<PageInputElement>()->value(), u"");
  EXPECT_TRUE(input->getAttribute(u"id").IsNull());
  EXPECT_EQ(input->sourceIndex(), -1);
  EXPECT_FALSE(input->parentElement());
  EXPECT_FALSE(input->document());
  EXPECT_EQ(form->length(), 0);
  EXPECT_EQ(form->tags(u"input")->length(), 0);
  input.As<PageInputElement>()->setValue(u"w");
  input->setAttribute(u"x", Variant::FromInt32(1));
  input->click();
  link->click();
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(host.Requests.empty());
  connection.Disconnect();
  EXPECT_EQ(input->tagName(), u"INPUT");
}

}  // namespace
}  // namespace qm::memdom
