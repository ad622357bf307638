// A page whose form React controls: the filled values must reach React's
// own state and its submit handler, not only the controls.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "addon/BHO/ElementTracker.h"
#include "addon/BHO/FillFormUtils.h"
#include "engines/chromium/ChromiumTesting.h"
#include "engines/chromium/UserInput.h"

namespace qm::chromium::testing {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

constexpr char ReactApp[] = R"(<!DOCTYPE html><div id=root></div>
<script src=/react.js></script><script src=/react-dom.js></script>
<script>
const e = React.createElement;
function App() {
  const [s, set] = React.useState({name: '', email: '', agree: false, color: 'red', note: ''});
  const [sent, setSent] = React.useState('');
  const change = k => ev =>
      set(old => ({...old, [k]: ev.target.type === 'checkbox' ? ev.target.checked : ev.target.value}));
  return e('form', {id: 'f', onSubmit: ev => { ev.preventDefault(); setSent(JSON.stringify(s)); }},
    e('input', {name: 'name', value: s.name, onChange: change('name')}),
    e('input', {name: 'email', type: 'email', value: s.email, onChange: change('email')}),
    e('input', {name: 'agree', type: 'checkbox', checked: s.agree, onChange: change('agree')}),
    e('select', {name: 'color', value: s.color, onChange: change('color')},
      e('option', {value: 'red'}, 'Red'), e('option', {value: 'blue'}, 'Blue')),
    e('textarea', {name: 'note', value: s.note, onChange: change('note')}),
    e('button', {id: 'go'}, 'Send'),
    e('pre', {id: 'out'}, sent));
}
ReactDOM.createRoot(document.getElementById('root')).render(e(App));
</script>)";

// Serves the React page; false when React is not installed.
bool ServeReactApp(PageServer& server) {
  const std::string modules = std::string(QM_CHROMIUM_TESTDATA) + "/react/node_modules/";
  const std::string react = ReadFile(modules + "react/umd/react.production.min.js");
  const std::string reactDom = ReadFile(modules + "react-dom/umd/react-dom.production.min.js");
  if (react.empty() || reactDom.empty()) return false;
  server.Add("/react.js", react, "text/javascript");
  server.Add("/react-dom.js", reactDom, "text/javascript");
  server.Add("/app.html", ReactApp);
  return true;
}

TEST(Frameworks, FilledValuesReachReactsStateAndItsSubmitHandler) {
  PageServer server;
  ASSERT_TRUE(ServeReactApp(server)) << "React is missing under testdata/react: run scripts/setup";
  const ComPtr<ChromiumBrowser> tab = OpenTab();
  ASSERT_TRUE(tab->Load(server.Url("/app.html")));
  const auto document = DocumentOf(tab);
  ASSERT_TRUE(tab->WaitUntil([&] { return document->forms()->length() == 1; }, 10s));

  TTransitFormCard card;
  const auto add = [&](int32_t index, std::u16string name, std::u16string tag,
                       std::u16string type, std::u16string value) {
    TTransitField& field = card.Fields.Add();
    field.ElementIndex = index;
    field.Name = std::move(name);
    field.TagName = std::move(tag);
    field.InputType = std::move(type);
    field.Value = std::move(value);
  };
  add(0, u"name", u"input", u"text", u"Jo Bloggs");
  add(1, u"email", u"input", u"email", u"jo@example.com");
  add(2, u"agree", u"input", u"checkbox", u"true");
  add(3, u"color", u"select", u"", u"Blue");
  add(4, u"note", u"textarea", u"", u"two\nlines");
  TElementChangingTracker tracker;
  TLexicon lexicon;
  const ComPtr<platform::PageElement> form = document->forms()->item(0);
  EXPECT_TRUE(FillFormFromCard(form, card, tracker, lexicon).Complete);
  FindById(document, u"go")->click();
  const ComPtr<platform::PageElement> out = FindById(document, u"out");
  ASSERT_TRUE(tab->WaitUntil([&] { return !out->innerText().empty(); }, 10s));
  EXPECT_EQ(platform::U8(out->innerText()),
            R"({"name":"Jo Bloggs","email":"jo@example.com","agree":true,"color":"blue","note":"two\nlines"})");
}

TEST(Frameworks, WhatAPersonTypesReachesReactsState) {
  PageServer server;
  ASSERT_TRUE(ServeReactApp(server)) << "React is missing under testdata/react: run scripts/setup";
  const ComPtr<ChromiumBrowser> tab = OpenTab();
  ASSERT_TRUE(tab->Load(server.Url("/app.html")));
  const auto document = DocumentOf(tab);
  ASSERT_TRUE(tab->WaitUntil([&] { return document->forms()->length() == 1; }, 10s));
  const auto form = document->forms()->item(0).As<platform::PageFormElement>();
  ASSERT_TRUE(TypeText(form->item(0), u"Jo"));
  ASSERT_TRUE(TypeText(form->item(4), u"a\nb"));
  // React renders the state back into the control: typing over it again
  // replaces what React holds.
  ASSERT_TRUE(TypeText(form->item(0), u"Ann", TypingMode::Replace));
  FindById(document, u"go")->click();
  const ComPtr<platform::PageElement> out = FindById(document, u"out");
  ASSERT_TRUE(tab->WaitUntil([&] { return !out->innerText().empty(); }, 10s));
  EXPECT_EQ(platform::U8(out->innerText()),
            R"({"name":"Ann","email":"","agree":false,"color":"red","note":"a\nb"})");
}

}  // namespace
}  // namespace qm::chromium::testing
