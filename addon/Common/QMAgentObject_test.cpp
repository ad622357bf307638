// The action automation object over a real agent published on a built-in
// engine's browser, with the manager a scriptable double in this process.
#include "addon/Common/QMAgentObject.h"

#include <gtest/gtest.h>

#include "engines/memdom/MemBrowser.h"
#include "platform/com/RunningObjects.h"
#include "platform/ui/ScriptedBackend.h"
#include "testsupport/QoraServerDouble.h"

namespace qm {
namespace {

using platform::ComPtr;
using platform::MakeCom;
using platform::VARIANT_BOOL;
using testing::TQoraServerDouble;

struct TState {
  String Caption;
  String Hint;
  bool Enabled = false;
  bool Checked = false;
};

// The sixteen captions, translated as "<caption> (de)".
Variant GermanCaptions() {
  TMemoryStream stream;
  const TWideStringList& captions = TQuillmateAgent::CommandCaptions();
  WriteInt32(stream, captions.Count());
  for (int i = 0; i < captions.Count(); ++i)
    WriteWideString(stream, captions[i] + u" (de)");
  return StreamToVariant(stream);
}

class QMAgentObject : public ::testing::Test {
protected:
  void SetUp() override {
    platform::RegisterActiveObjectProvider(CLASS_QoraServer, {});
    manager->SetReply(u"GetOptions", {Variant::FromInt32(0x59)});
    browser = memdom::MemBrowser::Create(std::make_shared<memdom::MapResourceLoader>());
  }
  void TearDown() override {
    if (cookie != 0) platform::RevokeActiveObject(cookie);
    browser->Close();
  }
  void StartManager() {
    cookie = platform::RegisterActiveObject(
        CLASS_QoraServer, ComPtr<platform::IUnknown>(static_cast<IQoraServer*>(manager.Get())));
  }
  // What the helper object does: publish its agent on the browser.
  void Publish(const ComPtr<TQuillmateAgent>& published) {
    browser->PutProperty(AgentPropertyName(),
                         published ? Variant::FromUnknown(published.As<platform::IUnknown>())
                                   : Variant());
  }
  void GiveWindow() {
    ASSERT_EQ(object->put_Window(static_cast<platform::PageBrowser*>(browser.Get())),
              platform::S_OK);
  }
  TState State(int index) {
    TState s;
    VARIANT_BOOL enabled = 1;
    VARIANT_BOOL checked = 1;
    EXPECT_EQ(object->GetActionState(index, s.Caption, s.Hint, enabled, checked), platform::S_OK);
    s.Enabled = enabled != 0;
    s.Checked = checked != 0;
    return s;
  }

  platform::ui::TScriptedBackend backend;
  platform::ui::TBackendScope scope{backend};
  ComPtr<TQoraServerDouble> manager = MakeCom<TQoraServerDouble>();
  uint32_t cookie = 0;
  ComPtr<memdom::MemBrowser> browser;
  ComPtr<TQuillmateAgent> agent = MakeCom<TQuillmateAgent>();
  ComPtr<TQMAgent> object = MakeCom<TQMAgent>();
};

TEST_F(QMAgentObject, WithoutAWindowEveryActionIsDisabledUncheckedAndEnglish) {
  StartManager();
  int32_t count = 0;
  ASSERT_EQ(object->get_ActionCount(count), platform::S_OK);
  EXPECT_EQ(count, 10);
  const TState first = State(0);
  EXPECT_EQ(first.Caption, u"Activate");
  EXPECT_EQ(first.Hint, u"Activate");
  EXPECT_FALSE(first.Enabled);
  EXPECT_FALSE(first.Checked);
  EXPECT_EQ(State(1).Caption, u"Quillora Manager");
  EXPECT_EQ(State(9).Caption, u"Options");
  EXPECT_EQ(object->ExecuteAction(0), platform::S_OK);
  EXPECT_TRUE(agent->GetActive()) << "nothing reached any agent";
}

TEST_F(QMAgentObject, AWindowWithoutTheBrowserServiceIsRefused) {
  auto plain = MakeCom<TQuillmateAgent>();  // any object that is no browser
  EXPECT_EQ(object->put_Window(static_cast<IQuillmateAgent*>(plain.Get())),
            platform::E_NOINTERFACE);
  ComPtr<platform::IUnknown> window;
  ASSERT_EQ(object->get_Window(window), platform::S_OK);
  EXPECT_TRUE(window) << "the value is kept all the same";
  Publish(agent);
  StartManager();
  EXPECT_FALSE(State(0).Enabled);
}

TEST_F(QMAgentObject, WithTheAgentButNoManagerCaptionsAreTheAgentsAndAllIsDisabled) {
  Publish(agent);
  GiveWindow();
  for (int i = 0; i < 10; ++i) {
    const TState s = State(i);
    EXPECT_FALSE(s.Enabled) << i;
    EXPECT_FALSE(s.Checked) << i;
  }
  EXPECT_EQ(State(8).Caption, u"Record");
  agent->SetOnSaveForms([](TQuillmateAgent&) { FAIL() << "executed without a manager"; });
  EXPECT_EQ(object->ExecuteAction(2), platform::S_OK);
  EXPECT_EQ(object->ExecuteAction(0), platform::S_OK);
  EXPECT_TRUE(agent->GetActive());
}

TEST_F(QMAgentObject, TheAgentIsLookedUpAtEveryCall) {
  GiveWindow();
  StartManager();
  EXPECT_FALSE(State(2).Enabled);
  Publish(agent);  // the helper object came after the toolbar
  EXPECT_TRUE(State(2).Enabled);
  auto other = MakeCom<TQuillmateAgent>();
  other->SetActive(false);
  Publish(other);
  EXPECT_TRUE(State(0).Enabled);
  EXPECT_FALSE(State(0).Checked) << "the state of the agent published now";
  Publish(nullptr);
  EXPECT_FALSE(State(0).Enabled);
  browser->PutProperty(AgentPropertyName(), Variant::FromString(u"not an agent"));
  EXPECT_FALSE(State(0).Enabled);
}

TEST_F(QMAgentObject, CheckStatesFollowTheAgentAndExecutingFlipsThem) {
  Publish(agent);
  GiveWindow();
  StartManager();
  EXPECT_TRUE(State(0).Checked);
  ASSERT_EQ(object->ExecuteAction(0), platform::S_OK);
  EXPECT_FALSE(agent->GetActive());
  EXPECT_FALSE(State(0).Checked);
  EXPECT_TRUE(State(0).Enabled);
  EXPECT_FALSE(State(8).Checked);
  ASSERT_EQ(object->ExecuteAction(8), platform::S_OK);
  EXPECT_TRUE(agent->IsRecording());
  EXPECT_TRUE(State(8).Checked);
  ASSERT_EQ(object->ExecuteAction(8), platform::S_OK);
  EXPECT_FALSE(agent->IsRecording());
  for (int plain : {1, 2, 3, 4, 5, 6, 7, 9})
    EXPECT_FALSE(State(plain).Checked) << plain;
}

TEST_F(QMAgentObject, EachActionReachesItsCommandOfTheAgent) {
  Publish(agent);
  GiveWindow();
  StartManager();
  std::vector<String> heard;
  const auto note = [&](const char16_t* what) {
    return [&heard, what](TQuillmateAgent&) { heard.push_back(what); };
  };
  agent->SetOnShowManager([&](TQuillmateAgent&, const Variant& a, const Variant& b,
                              const Variant& c) {
    EXPECT_TRUE(a.IsEmpty() && b.IsEmpty() && c.IsEmpty());
    heard.push_back(u"manager");
  });
  agent->SetOnSaveForms(note(u"save"));
  agent->SetOnBeforeShowDialog(note(u"fill"));
  agent->SetOnBindField(note(u"bind"));
  agent->SetOnUnbindField(note(u"unbind"));
  agent->SetOnClearForms(note(u"clear"));
  agent->SetOnAddSynonym(note(u"synonym"));
  agent->SetOnAddValue(note(u"value"));
  agent->SetOnAddAllValues(note(u"all values"));
  for (int i : {1, 2, 3, 4, 5, 6, 7, 10, -1})
    ASSERT_EQ(object->ExecuteAction(i), platform::S_OK) << i;
  for (int sub : {0, 1, 2, 3})
    ASSERT_EQ(object->ExecuteSubAction(6, sub), platform::S_OK);
  ASSERT_EQ(object->ExecuteSubAction(5, 0), platform::S_OK);
  EXPECT_EQ(heard, (std::vector<String>{u"manager", u"save", u"fill", u"bind", u"unbind", u"clear",
                                        u"synonym", u"value", u"all values"}));
  EXPECT_TRUE(agent->IsDialogVisible());
}

TEST_F(QMAgentObject, OptionsOpenTheSettingsDialog) {
  Publish(agent);
  GiveWindow();
  StartManager();
  ASSERT_EQ(object->ExecuteAction(9), platform::S_OK);
  const auto shown = backend.Entries(platform::ui::TJournalEntry::TKind::FormShown);
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back().Caption, u"Quillora settings");
}

TEST_F(QMAgentObject, CaptionsAndSubActionCaptionsFollowTheManagersLanguage) {
  manager->SetReply(u"TranslateStrings", {GermanCaptions()});
  Publish(agent);
  GiveWindow();
  StartManager();
  EXPECT_EQ(State(3).Caption, u"Fill form (de)");
  EXPECT_EQ(State(3).Hint, u"Fill form (de)");
  String caption;
  String hint;
  ASSERT_EQ(object->GetSubActionState(6, 2, caption, hint), platform::S_OK);
  EXPECT_EQ(caption, u"Add all values (de)");
  EXPECT_EQ(hint, caption);
}

TEST_F(QMAgentObject, IndicesOutsideTheTablesGiveEmptyAnswers) {
  Publish(agent);
  GiveWindow();
  StartManager();
  String caption = u"stale";
  String hint = u"stale";
  VARIANT_BOOL enabled = -1;
  VARIANT_BOOL checked = -1;
  ASSERT_EQ(object->GetActionState(10, caption, hint, enabled, checked), platform::S_OK);
  EXPECT_TRUE(caption.empty());
  EXPECT_TRUE(hint.empty());
  EXPECT_EQ(enabled, 0);
  EXPECT_EQ(checked, 0);
  caption = u"stale";
  ASSERT_EQ(object->GetSubActionState(5, 0, caption, hint), platform::S_OK);
  EXPECT_TRUE(caption.empty());
  ASSERT_EQ(object->GetSubActionState(6, 3, caption, hint), platform::S_OK);
  EXPECT_TRUE(caption.empty());
  QMActionType type = atMenu;
  String icon = u"stale";
  String gray = u"stale";
  ASSERT_EQ(object->GetActionData(-1, type, icon, gray), platform::S_OK);
  EXPECT_EQ(type, atButton);
  EXPECT_TRUE(icon.empty() && gray.empty());
  int32_t count = -1;
  object->get_SubActionCount(6, count);
  EXPECT_EQ(count, 3);
  object->get_SubActionCount(5, count);
  EXPECT_EQ(count, 0);
}

TEST_F(QMAgentObject, ActionDataNamesEachButtonsKindAndIcons) {
  const std::vector<std::tuple<QMActionType, String, String>> expected{
      {atCheck, u"Z100", u"Z101"},  {atButton, u"Z104", u"Z105"}, {atButton, u"Z106", u"Z107"},
      {atButton, u"Z108", u"Z109"}, {atButton, u"Z110", u"Z111"}, {atButton, u"Z112", u"Z113"},
      {atMenu, u"Z114", u"Z115"},   {atButton, u"Z116", u"Z117"}, {atCheck, u"Z118", u"Z119"},
      {atButton, u"Z124", u"Z125"}};
  for (int i = 0; i < 10; ++i) {
    QMActionType type = atButton;
    String icon;
    String gray;
    ASSERT_EQ(object->GetActionData(i, type, icon, gray), platform::S_OK);
    EXPECT_EQ(std::make_tuple(type, icon, gray), expected[static_cast<size_t>(i)]) << i;
  }
}

TEST_F(QMAgentObject, GUIActivePassesToTheAgent) {
  VARIANT_BOOL value = -1;
  ASSERT_EQ(object->get_GUIActive(value), platform::S_OK);
  EXPECT_EQ(value, 0) << "no agent reads false";
  Publish(agent);
  GiveWindow();
  ASSERT_EQ(object->put_GUIActive(0), platform::S_OK);
  EXPECT_FALSE(agent->GetGUIActive());
  ASSERT_EQ(object->get_GUIActive(value), platform::S_OK);
  EXPECT_EQ(value, 0);
  object->put_GUIActive(-1);
  EXPECT_TRUE(agent->GetGUIActive());
}

TEST_F(QMAgentObject, LateBoundCallsReachTheMembersByTheirDispatchNumbers) {
  Publish(agent);
  GiveWindow();
  StartManager();
  std::vector<platform::DISPID> ids;
  ASSERT_EQ(object->GetIDsOfNames({u"getactionstate", u"ActionCount"}, ids), platform::S_OK);
  EXPECT_EQ(ids, (std::vector<platform::DISPID>{209, 202}));
  EXPECT_NE(object->GetIDsOfNames({u"Nothing"}, ids), platform::S_OK);
  EXPECT_EQ(ids, std::vector<platform::DISPID>{-1});

  Variant result;
  ASSERT_EQ(object->Invoke(202, platform::DISPATCH_PROPERTYGET, {}, &result), platform::S_OK);
  EXPECT_EQ(result.AsInt32(), 10);
  ASSERT_EQ(object->Invoke(209, platform::DISPATCH_METHOD, {{Variant::FromInt32(8)}, {}}, &result),
            platform::S_OK);
  ASSERT_EQ(result.ArrayCount(), 4);
  EXPECT_EQ(result.ArrayElement(0).AsString(), u"Record");
  EXPECT_TRUE(result.ArrayElement(2).AsBool());
  // Arguments come last first: ExecuteSubAction(6, 1).
  int values = 0;
  agent->SetOnAddValue([&](TQuillmateAgent&) { ++values; });
  ASSERT_EQ(object->Invoke(207, platform::DISPATCH_METHOD,
                           {{Variant::FromInt32(1), Variant::FromInt32(6)}, {}}, nullptr),
            platform::S_OK);
  EXPECT_EQ(values, 1);
  ASSERT_EQ(object->Invoke(208, platform::DISPATCH_PROPERTYPUT, {{Variant::FromBool(false)}, {-3}},
                           nullptr),
            platform::S_OK);
  EXPECT_FALSE(agent->GetGUIActive());

  EXPECT_EQ(object->Invoke(206, platform::DISPATCH_METHOD, {}, &result),
            platform::DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(object->Invoke(204, platform::DISPATCH_METHOD, {}, &result),
            platform::DISP_E_BADPARAMCOUNT);
  EXPECT_NE(object->Invoke(204, platform::DISPATCH_METHOD, {{Variant::FromString(u"x")}, {}},
                           &result),
            platform::S_OK);
  EXPECT_EQ(object->Invoke(202, platform::DISPATCH_PROPERTYPUT, {{Variant::FromInt32(3)}, {}},
                           &result),
            platform::DISP_E_MEMBERNOTFOUND)
      << "ActionCount cannot be put";
}

TEST(QuillmateTypeLibrary, DescribesTheLibraryItsClassesAndTheAutomationInterface) {
  const TTypeLibrary& lib = QuillmateTypeLibrary();
  EXPECT_EQ(String(lib.Name), u"Quillmate");
  EXPECT_EQ(String(lib.HelpString), u"VxQMHelper Library");
  EXPECT_EQ(platform::GuidToString(lib.Id), u"{1078B53A-8801-4988-93C3-A331EF1D3181}");
  EXPECT_EQ(lib.VersionText(), u"1.0");
  EXPECT_EQ(lib.Locale, 1033u);
  ASSERT_EQ(lib.Entries.size(), 5u);
  const TTypeInfoEntry* agentClass = lib.Find(CLASS_QMAgent);
  ASSERT_NE(agentClass, nullptr);
  EXPECT_EQ(String(agentClass->HelpString), u"QMAgent Object");
  EXPECT_EQ(agentClass->DefaultInterface, IID_IQMAgent);
  EXPECT_EQ(String(lib.Find(CLASS_IEToolbar)->HelpString), u"IEToolbar");
  EXPECT_EQ(String(lib.Find(IID_IIEToolbar)->HelpString), u"Interface for IEToolbar Object");
  EXPECT_EQ(String(lib.Find(IID_IQMAgent)->HelpString), u"Dispatch interface for QMAgent Object");
  EXPECT_EQ(lib.Find(GUID_QMActionType)->Kind, TTypeKind::Enumeration);
  for (const TDispatchMember& m : lib.QMAgentMembers) {
    EXPECT_GE(m.Id, 201);
    EXPECT_LE(m.Id, 210);
    EXPECT_NE(m.Id, 206);
  }
  ASSERT_EQ(lib.ActionTypes.size(), 3u);
  EXPECT_EQ(lib.ActionTypes[2].Value, atMenu);
}

}  // namespace
}  // namespace qm
