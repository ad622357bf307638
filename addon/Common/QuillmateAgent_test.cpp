// The agent against a manager registered in this process (the scriptable
// double, so that replies can be bent), with dialogs run by the scripted
// backend.
#include "addon/Common/QuillmateAgent.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "addon/Common/PageKey.h"
#include "addon/dialogs/QMDialogUnit.h"
#include "core/Common/BannerStream.h"
#include "core/Common/TextUtils.h"
#include "platform/com/RunningObjects.h"
#include "platform/ui/ScriptedBackend.h"
#include "testsupport/QoraServerDouble.h"

namespace qm {
namespace {

using platform::ComPtr;
using platform::MakeCom;
using platform::ui::TBackendScope;
using platform::ui::TScriptedBackend;
using testing::TQoraServerDouble;
using Action = platform::ui::TUserAction;

Variant StringsStream(int count) {
  TMemoryStream stream;
  WriteInt32(stream, count);
  for (int i = 0; i < count; ++i)
    WriteWideString(stream, u"T" + IntToText(i));
  return StreamToVariant(stream);
}

class Agent : public ::testing::Test {
protected:
  void SetUp() override {
    // Only what this process registers: no bus lookup here.
    platform::RegisterActiveObjectProvider(CLASS_QoraServer, {});
    agent = MakeCom<TQuillmateAgent>();
    manager->SetReply(u"GetOptions", {Variant::FromInt32(0x59)});
    manager->SetCallHook([this](const String& operation) { served.push_back(operation); });
  }
  void TearDown() override {
    StopManager();
    agent = nullptr;
  }
  void StartManager() {
    cookie = platform::RegisterActiveObject(
        CLASS_QoraServer, ComPtr<platform::IUnknown>(static_cast<IQoraServer*>(manager.Get())));
  }
  void StopManager() {
    if (cookie != 0) platform::RevokeActiveObject(cookie);
    cookie = 0;
  }
  // How many calls of operation the manager served (failed ones aside).
  int CallsOf(const String& operation) {
    return static_cast<int>(std::count(served.begin(), served.end(), operation));
  }

  TScriptedBackend backend;
  TBackendScope scope{backend};
  ComPtr<TQoraServerDouble> manager = MakeCom<TQoraServerDouble>();
  ComPtr<TQuillmateAgent> agent;
  std::vector<String> served;
  uint32_t cookie = 0;
};

TEST_F(Agent, WithoutAManagerNothingConnectsAndAManagerStartedLaterIsNoticed) {
  int connects = 0;
  agent->SetOnConnect([&](TQuillmateAgent& sender) {
    EXPECT_EQ(&sender, agent.Get());
    ++connects;
  });
  EXPECT_FALSE(agent->IsConnected());
  EXPECT_FALSE(agent->IsLoggedIn());
  EXPECT_FALSE(agent->GetServer());
  EXPECT_EQ(agent->Translate(u"Record"), u"Record");
  EXPECT_EQ(agent->Options().ToWord(), 0x59) << "the defaults";
  StartManager();
  manager->SetReply(u"GetLoggedIn", {Variant::FromBool(true)});
  EXPECT_TRUE(agent->IsLoggedIn());
  EXPECT_TRUE(agent->IsConnected());
  EXPECT_EQ(connects, 1);
  EXPECT_EQ(manager->SinkCount(), 1);
  EXPECT_EQ(CallsOf(u"GetOptions"), 1);
  EXPECT_EQ(CallsOf(u"GetBannerMode"), 1);
  EXPECT_EQ(CallsOf(u"GetLexicon"), 1);
  EXPECT_EQ(CallsOf(u"TranslateStrings"), 1);
}

TEST_F(Agent, TheTranslationRequestListsTheSixteenCaptions) {
  StartManager();
  ASSERT_TRUE(agent->IsConnected());
  const auto call = manager->LastCall();  // the last step of connecting
  ASSERT_EQ(call.Operation, u"TranslateStrings");
  TMemoryStream stream;
  VariantToStream(call.Inputs[0], stream);
  stream.SetPosition(0);
  std::vector<std::u16string> captions;
  ASSERT_TRUE(ReadWideStrings(stream, captions));
  EXPECT_EQ(captions, TQuillmateAgent::CommandCaptions().ToVector());
  ASSERT_EQ(captions.size(), 16u);
  EXPECT_EQ(captions[13], u"Add synonim");
}

TEST_F(Agent, AFullTranslationIsUsedAndOneOfFifteenOrSeventeenIsNot) {
  for (int count : {15, 17, 16}) {
    manager->SetReply(u"TranslateStrings", {StringsStream(count)});
    StartManager();
    ASSERT_TRUE(agent->IsConnected());
    if (count == 16) {
      EXPECT_EQ(agent->TranslatedCaptions().Count(), 16);
      EXPECT_EQ(agent->Translate(u"record"), u"T9") << "found ignoring case";
      EXPECT_EQ(agent->Translate(u"Back"), u"Back") << "not a caption";
    } else {
      EXPECT_TRUE(agent->TranslatedCaptions().Empty()) << count;
      EXPECT_EQ(agent->Translate(u"Record"), u"Record") << count;
    }
    StopManager();
    agent = MakeCom<TQuillmateAgent>();
  }
}

TEST_F(Agent, ATranslationCutShortIsDroppedWhole) {
  Variant full = StringsStream(16);
  std::vector<uint8_t> bytes = full.AsByteArray().Items;
  bytes.resize(bytes.size() - 1);
  manager->SetReply(u"TranslateStrings", {Variant::FromBytes(bytes)});
  StartManager();
  ASSERT_TRUE(agent->IsConnected());
  EXPECT_TRUE(agent->TranslatedCaptions().Empty());
}

TEST_F(Agent, TheLanguageChangeEventTranslatesAgain) {
  StartManager();
  ASSERT_TRUE(agent->IsConnected());
  EXPECT_EQ(agent->Translate(u"Options"), u"Options");
  manager->SetReply(u"TranslateStrings", {StringsStream(16)});
  manager->Fire(DISPID_OnLanguageChange);
  EXPECT_EQ(agent->Translate(u"Options"), u"T12");
}

TEST_F(Agent, TheOptionsWordOfTheManagerReplacesTheLocalOptions) {
  agent->SetAutoSubmit(true);
  manager->SetReply(u"GetOptions", {Variant::FromInt32(0x1D1)});
  StartManager();
  ASSERT_TRUE(agent->IsConnected());
  EXPECT_EQ(agent->Options(), (TQMOptions{1, 0, 0, 0, 1, 0, 3}));
  EXPECT_TRUE(agent->GetAutoFill());
  EXPECT_FALSE(agent->GetAutoSubmit());
  EXPECT_FALSE(agent->AutoShow());
  EXPECT_TRUE(agent->AutoFillNew());
  EXPECT_EQ(agent->OnSubmit(), 3);
}

TEST_F(Agent, RecordingTurnsTheAutomaticOptionsOffForTheHelperOnly) {
  agent->SetAutoSubmit(true);
  agent->SetRecording(true);
  EXPECT_TRUE(agent->IsRecording());
  EXPECT_FALSE(agent->AutoFill());
  EXPECT_FALSE(agent->AutoSubmit());
  EXPECT_FALSE(agent->AutoFillNew());
  EXPECT_TRUE(agent->AskConfirm());
  EXPECT_TRUE(agent->AutoShow());
  EXPECT_TRUE(agent->GetAutoFill()) << "the interface reads the stored value";
  EXPECT_TRUE(agent->GetAutoSubmit());
}

TEST_F(Agent, StoppingTheRecordingHandsOverTheRecordingAndItsFirstPage) {
  String firstUrl = u"unset";
  Variant recording;
  int stops = 0;
  agent->SetOnRecordingStopped([&](TQuillmateAgent&, const String& url, const Variant& data) {
    ++stops;
    firstUrl = url;
    recording = data;
  });
  agent->SetRecording(false);
  EXPECT_EQ(stops, 0) << "not recording: nothing to do";
  agent->SetRecording(true);
  agent->Recorder().AddStep(u"shop.example/", u"a", u"http://shop.example/next", u"Next", u"");
  agent->SetRecording(true);  // already recording: the steps stay
  agent->SetRecording(false);
  ASSERT_EQ(stops, 1);
  EXPECT_EQ(firstUrl, u"shop.example/");
  TNavigationRecorder copy;
  copy.LoadFromVariant(recording);
  ASSERT_EQ(copy.Steps().Count(), 1);
  EXPECT_EQ(copy.Steps()[0].Name, u"Next");
  EXPECT_FALSE(agent->IsRecording());
  agent->SetRecording(true);
  agent->SetRecording(false);
  EXPECT_TRUE(recording.IsNull()) << "an empty recording is the null variant";
  EXPECT_EQ(firstUrl, u"");
}

TEST_F(Agent, AShowWhileTheGuiIsInactiveWaitsAndHappensOnceWhenItIsActiveAgain) {
  int beforeShow = 0;
  agent->SetOnBeforeShowDialog([&](TQuillmateAgent&) { ++beforeShow; });
  agent->SetGUIActive(false);
  agent->ShowDialog(true);
  EXPECT_FALSE(agent->IsDialogVisible());
  EXPECT_TRUE(agent->PendingShow());
  agent->SetGUIActive(true);
  EXPECT_TRUE(agent->IsDialogVisible());
  EXPECT_FALSE(agent->PendingShow());
  EXPECT_EQ(beforeShow, 1);
  agent->ShowDialog(true);
  EXPECT_EQ(beforeShow, 1) << "already visible";
  agent->SetGUIActive(false);
  EXPECT_FALSE(agent->IsDialogVisible()) << "an inactive window hides the dialog";
  agent->SetGUIActive(true);
  EXPECT_TRUE(agent->IsDialogVisible()) << "and shows it again when it comes back";
}

TEST_F(Agent, ADismissedDialogStaysHiddenUntilTheNextPage) {
  agent->ShowDialogUnlessDismissed();
  ASSERT_TRUE(agent->IsDialogVisible());
  backend.Perform(*agent->FillDialog(), Action::PressKey(platform::ui::VK_ESCAPE));
  EXPECT_TRUE(agent->DialogDismissed());
  agent->ShowDialogUnlessDismissed();
  EXPECT_FALSE(agent->IsDialogVisible());
  agent->ResetPage();
  agent->ShowDialogUnlessDismissed();
  EXPECT_TRUE(agent->IsDialogVisible());
  agent->ShowDialog(false);
  agent->ShowDialogUnlessDismissed();
  EXPECT_FALSE(agent->IsDialogVisible()) << "hidden by the program counts too";
}

TEST_F(Agent, TheFillDialogShowsTheAgentsListsAndRelaysWithTheAgentAsSender) {
  agent->SetUrl(u"http://www.shop.example/cart");
  EXPECT_EQ(agent->PageKey(), u"http://shop.example/cart");
  agent->SetFormCards(
      Variant::FromStrings({u"http://shop.example/cart=Home", u"http://shop.example/cart=Work"}),
      u"http://shop.example/cart", u"work");
  agent->SetNavigationCards(Variant::FromStrings({u" 0=Checkout ", u"1=Pay"}), u"pay");
  agent->SetProfiles(Variant::FromStrings({u"Default", u"Home"}), u"home");
  EXPECT_EQ(agent->ActiveProfile(), u"Home");
  EXPECT_EQ(agent->SelectedNavigationCard(), u"Pay");
  std::vector<String> calls;
  agent->SetOnFillCard([&](TQuillmateAgent& sender, const String& owner, bool onlyEmpty,
                           bool submit, const String& card) {
    EXPECT_EQ(&sender, agent.Get());
    calls.push_back(owner + u" " + card + (onlyEmpty ? u" empty" : u"") +
                    (submit ? u" submit" : u""));
  });
  agent->SetOnPlayNavigation([&](TQuillmateAgent&, const String& owner, const String& card) {
    calls.push_back(u"play " + owner + u" " + card);
  });
  agent->ShowDialog(true);
  TQMDialog& dialog = *agent->FillDialog();
  ASSERT_EQ(dialog.Entries().size(), 4u);
  EXPECT_TRUE(dialog.Entries()[1].Marked);
  EXPECT_EQ(dialog.PageKey(), u"http://shop.example/cart");
  backend.Perform(dialog, Action::Select(u"FormSetListBox", u"Work"));
  backend.Perform(dialog, Action::Click(u"BitBtn3"));
  agent->ShowDialog(true);
  backend.Perform(dialog, Action::Select(u"FormSetListBox", u"Pay"));
  backend.Perform(dialog, Action::Click(u"BitBtn3"));
  EXPECT_EQ(calls, (std::vector<String>{u"http://shop.example/cart Work empty submit",
                                        u"play http://shop.example/cart Pay"}));
  agent->ClearFormCards();
  EXPECT_TRUE(agent->FormCards().Empty());
  EXPECT_TRUE(dialog.Entries().empty());
}

TEST_F(Agent, ANewAddressGivesANewKeyAndForgetsThePagesCards) {
  int changes = 0;
  agent->SetOnUrlChange([&](TQuillmateAgent&) { ++changes; });
  agent->SetUrl(u"https://www.mail.example/");
  agent->SetMailCards(Variant::FromStrings({u"1=Support"}), u"");
  EXPECT_TRUE(agent->HasMailCards());
  agent->SetUrl(u"https://www.mail.example/");
  EXPECT_EQ(changes, 1) << "the same address is no change";
  EXPECT_TRUE(agent->HasMailCards());
  agent->SetUrl(u"HTTP://WWW.mail.example/");
  EXPECT_EQ(agent->PageKey(), u"HTTP://WWW.mail.example/");
  EXPECT_FALSE(agent->HasMailCards());
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(StripWwwPrefix(u"https://www.x.example/a"), u"https://x.example/a");
}

TEST_F(Agent, TheManagerQuittingIsRelayedAndDropsTheConnection) {
  int quits = 0;
  agent->SetOnManagerQuit([&](TQuillmateAgent&) {
    ++quits;
    EXPECT_TRUE(agent->GetServer()) << "still connected while the handler runs";
  });
  StartManager();
  ASSERT_TRUE(agent->IsConnected());
  StopManager();
  manager->Fire(DISPID_OnQuit);
  EXPECT_EQ(quits, 1);
  EXPECT_EQ(manager->SinkCount(), 0);
  EXPECT_FALSE(agent->IsConnected());
}

TEST_F(Agent, AFailedCallDropsTheConnectionAndTheNextOperationConnectsAgain) {
  StartManager();
  ASSERT_TRUE(agent->IsConnected());
  manager->SetFailure(u"GetLoggedIn", platform::E_FAIL, u"store is locked");
  EXPECT_FALSE(agent->IsLoggedIn());
  EXPECT_EQ(manager->SinkCount(), 0) << "dropped, sink detached";
  EXPECT_TRUE(agent->IsConnected());
  EXPECT_EQ(manager->SinkCount(), 1);
  EXPECT_EQ(CallsOf(u"GetOptions"), 2);
}

TEST_F(Agent, AConnectionThatFailsHalfWayIsNotKept) {
  manager->SetFailure(u"GetBannerMode", platform::E_FAIL, u"no banners today");
  StartManager();
  EXPECT_FALSE(agent->IsConnected());
  EXPECT_EQ(manager->SinkCount(), 0);
  EXPECT_EQ(CallsOf(u"GetLexicon"), 0);
}

TEST_F(Agent, TheLexiconComesFromTheManagerAndAgainOnItsChangeEvent) {
  TLexicon source;
  source.SetStopWords({u"the", u"of"});
  TMemoryStream stream;
  source.SaveToStream(stream);
  manager->SetReply(u"GetLexicon", {StreamToVariant(stream)});
  StartManager();
  ASSERT_TRUE(agent->IsConnected());
  EXPECT_EQ(agent->Lexicon(), source);
  manager->SetReply(u"GetLexicon", {Variant::FromBytes({1, 2, 3})});
  manager->Fire(DISPID_OnLexiconChange);
  EXPECT_TRUE(agent->Lexicon().StopWords().Empty()) << "a broken stream leaves it empty";
  EXPECT_TRUE(agent->Lexicon().Separators().empty());
  EXPECT_TRUE(agent->IsConnected()) << "a bad lexicon is not a failed call";
}

TEST_F(Agent, LoginAsksForThePasswordAndSkipsOneOfSpaces) {
  StartManager();
  backend.Script(u"Enter password",
                 {Action::Type(u"PasswordEdit", u"   "), Action::Click(u"OKButton")});
  EXPECT_FALSE(agent->Login());
  EXPECT_EQ(CallsOf(u"Login"), 0);
  backend.Script(u"Enter password",
                 {Action::Type(u"PasswordEdit", u" s3cret "), Action::Click(u"OKButton")});
  agent->SetLoggedIn(true);
  ASSERT_EQ(CallsOf(u"Login"), 1);
  EXPECT_EQ(manager->LastCall().Inputs[0].AsString(), u"s3cret");
  manager->SetFailure(u"Login", platform::E_FAIL, u"Wrong password");
  backend.Script(u"", {Action::Type(u"PasswordEdit", u"nope"), Action::Click(u"OKButton")});
  EXPECT_FALSE(agent->Login());
  EXPECT_EQ(manager->SinkCount(), 0);
  agent->SetLoggedIn(false);
  EXPECT_EQ(CallsOf(u"Logout"), 1) << "logging out connects again";
}

// Connecting replaces the options with the manager's word; when that
// happened after the dialog, the user's edits were lost and the old word
// went back to the manager.
TEST_F(Agent, TheSettingsDialogConnectsFirstSoTheUsersEditsAreKept) {
  manager->SetReply(u"GetOptions", {Variant::FromInt32(0x51)});  // AutoShow off
  StartManager();  // running, but the agent has not connected yet
  backend.Script(u"Quillora settings",
                 {Action::SetChecked(u"AutoBindCheckBox", true), Action::Click(u"OKButton")});
  agent->ShowOptions();
  EXPECT_EQ(CallsOf(u"GetOptions"), 1);
  EXPECT_FALSE(agent->AutoShow()) << "the dialog opened on the manager's word";
  EXPECT_TRUE(agent->Options().AutoBind) << "the user's edit stays";
  ASSERT_EQ(CallsOf(u"SetOptions"), 1);
  EXPECT_EQ(manager->LastCall().Inputs[0].AsInt32(), 0x71);
}

TEST_F(Agent, SettingsMadeWithoutAManagerApplyHereAndGoNowhere) {
  backend.Script(u"Quillora settings",
                 {Action::SetChecked(u"AutoShowCheckBox", false), Action::Click(u"OKButton")});
  agent->ShowOptions();
  EXPECT_FALSE(agent->AutoShow());
  EXPECT_EQ(manager->CallCount(), 0u);
}

TEST_F(Agent, LoginWithoutAManagerAsksNothing) {
  EXPECT_FALSE(agent->Login());
  EXPECT_TRUE(backend.Journal().empty());
}

TEST_F(Agent, OptionsFromTheSettingsDialogApplyAtOnceAndGoToTheManagerWhenAsked) {
  manager->SetReply(u"GetOptions", {Variant::FromInt32(0x1D1)});
  StartManager();
  ASSERT_TRUE(agent->IsConnected());
  backend.Script(u"Quillora settings", {Action::Click(u"OKButton")});
  agent->ShowOptions();
  EXPECT_EQ(agent->OnSubmit(), 0) << "an OnSubmit of 3 checks no radio button";
  ASSERT_EQ(CallsOf(u"SetOptions"), 1);
  EXPECT_EQ(manager->LastCall().Inputs[0].AsInt32(), 0x11);
  backend.Script(u"",
                 {Action::SetChecked(u"AutoShowCheckBox", true),
                  Action::SetChecked(u"SetDefaultCheckBox", false), Action::Click(u"OKButton")});
  agent->ShowOptions();
  EXPECT_TRUE(agent->AutoShow());
  EXPECT_EQ(CallsOf(u"SetOptions"), 1) << "not as default: the manager is not told";
  backend.Script(u"",
                 {Action::SetChecked(u"AutoShowCheckBox", false), Action::Click(u"CancelButton")});
  agent->ShowOptions();
  EXPECT_TRUE(agent->AutoShow());
}

TEST_F(Agent, ABannerManagerPutsAStripOnTheFillDialogThatRaisesItsLink) {
  manager->SetReply(u"GetBannerMode", {Variant::FromInt32(1)});
  manager->SetReply(u"GetBanner", {BannerStream({u"http://ads.example/go", u"Fresh bread"})});
  StartManager();
  ASSERT_TRUE(agent->IsConnected());
  EXPECT_EQ(agent->BannerMode(), 1);
  String clicked;
  agent->SetOnBannerClick([&](TQuillmateAgent&, const String& link) { clicked = link; });
  agent->ShowDialog(true);
  TQMDialog& dialog = *agent->FillDialog();
  EXPECT_EQ(dialog.Constraints().MinWidth, 476);
  EXPECT_EQ(dialog.Width(), 476);
  auto& strip = dialog.Get<platform::ui::TPanel>(u"BannerPanel");
  EXPECT_EQ(strip.Top(), 0);
  EXPECT_EQ(strip.Height(), 68);
  EXPECT_EQ(strip.Align(), platform::ui::TAlign::Top);
  EXPECT_EQ(dialog.FormSetListBox.Top(), 68);
  EXPECT_EQ(strip.Caption(), u"Fresh bread");
  backend.Perform(dialog, Action::Click(u"BannerPanel"));
  EXPECT_EQ(clicked, u"http://ads.example/go");
  const auto request = manager->LastCall();
  EXPECT_EQ(request.Operation, u"GetBanner");
  const std::optional<TBannerRequest> size = ReadBannerRequest(request.Inputs.at(0));
  ASSERT_TRUE(size) << "the request is a byte stream of the strip's size";
  EXPECT_EQ(size->Width, 620);
  EXPECT_EQ(size->Height, 68);
  EXPECT_EQ(manager->SinkCount(), 1) << "a request the manager takes keeps the connection";
  EXPECT_EQ(CallsOf(u"GetOptions"), 1) << "and nothing reconnected";
}

TEST_F(Agent, ABannerReplyThatIsNoBannerStreamLeavesTheStripEmpty) {
  manager->SetReply(u"GetBannerMode", {Variant::FromInt32(1)});
  manager->SetReply(u"GetBanner", {Variant::FromBytes({1, 2, 3})});
  StartManager();
  ASSERT_TRUE(agent->IsConnected());
  agent->ShowDialog(true);
  auto& strip = agent->FillDialog()->Get<platform::ui::TPanel>(u"BannerPanel");
  EXPECT_EQ(strip.Caption(), u"");
  EXPECT_EQ(strip.Hint(), u"");
  EXPECT_TRUE(agent->IsConnected());
}

TEST_F(Agent, CommandsAreRelayedAndUnsetHandlersSkipped) {
  std::vector<String> seen;
  const auto note = [&](const char16_t* what) {
    return [&seen, what](TQuillmateAgent&) { seen.push_back(what); };
  };
  agent->SaveForms();  // no handler yet
  agent->SetOnSaveForms(note(u"save"));
  agent->SetOnBindField(note(u"bind"));
  agent->SetOnUnbindField(note(u"unbind"));
  agent->SetOnClearForms(note(u"clear"));
  agent->SetOnAddSynonym(note(u"synonym"));
  agent->SetOnAddValue(note(u"value"));
  agent->SetOnAddAllValues(note(u"all"));
  agent->SetOnShowManager([&](TQuillmateAgent&, const Variant& a, const Variant&, const Variant&) {
    seen.push_back(a.IsEmpty() ? u"manager" : u"manager?");
  });
  agent->SaveForms();
  agent->BindField();
  agent->UnbindField();
  agent->ClearForms();
  agent->AddSynonym();
  agent->AddValue();
  agent->AddAllValues();
  agent->ShowManager({}, {}, {});
  EXPECT_EQ(seen, (std::vector<String>{u"save", u"bind", u"unbind", u"clear", u"synonym", u"value",
                                       u"all", u"manager"}));
  agent->SetActive(false);
  EXPECT_FALSE(agent->GetActive());
}

TEST_F(Agent, TheAgentIsFoundThroughItsInterfaceIdentifier) {
  ComPtr<platform::IUnknown> unknown(static_cast<IQuillmateAgent*>(agent.Get()));
  auto found = unknown.As<IQuillmateAgent>();
  ASSERT_TRUE(found);
  EXPECT_EQ(platform::GuidToString(IQuillmateAgent::Iid),
            u"{5838DE46-7072-4FCA-9A5C-C09D44D231FE}");
  EXPECT_FALSE(found->IsDialogVisible());
}

}  // namespace
}  // namespace qm
