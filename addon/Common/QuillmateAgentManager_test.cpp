// The agent against the real manager: registered in this process, and
// served on a private session bus.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <sdbus-c++/sdbus-c++.h>

#include "addon/Common/QuillmateAgent.h"
#include "addon/dialogs/QMDialogUnit.h"
#include "core/Common/QoraServerBusAdaptor.h"
#include "core/Common/QoraServerBusProxy.h"
#include "manager/recognition/DefaultContent.h"
#include "manager/service/QoraManager.h"
#include "manager/store/ManagerStore.h"
#include "manager/store/PasswordHash.h"
#include "manager/store/StoreTesting.h"
#include "platform/com/PendingEvents.h"
#include "platform/com/RunningObjects.h"
#include "platform/com/SessionBus.h"
#include "platform/ui/ScriptedBackend.h"
#include "testsupport/PrivateBus.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using manager::TManagerStore;
using manager::TQoraManager;
using platform::ComPtr;
using Action = platform::ui::TUserAction;

// Pumps this thread's events until done() holds (or 10 s passed).
template <class F>
bool PumpUntil(F done) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    if (platform::WaitForPendingEvents(100ms)) platform::ProcessPendingEvents();
  }
  return done();
}

class AgentWithManager : public ::testing::Test {
protected:
  void SetUp() override { platform::RegisterActiveObjectProvider(CLASS_QoraServer, {}); }
  void TearDown() override {
    if (cookie != 0) platform::RevokeActiveObject(cookie);
  }

  // A second connection to the manager's store, as the command line has.
  TManagerStore& Other() {
    if (!other) other = std::make_unique<TManagerStore>(Path(), nullptr);
    return *other;
  }
  std::string Path() const { return folder.File("manager.db"); }
  void StartManager() {
    server = platform::MakeCom<TQoraManager>(
        std::make_unique<TManagerStore>(Path(), &manager::DefaultContent()));
    cookie = platform::RegisterActiveObject(
        CLASS_QoraServer, ComPtr<platform::IUnknown>(server.As<platform::IUnknown>()));
  }
  void Translate(const String& source, const String& translated) {
    Other().SetTranslation({u"de", source, translated});
  }

  manager::testing::TTempDir folder;
  std::unique_ptr<TManagerStore> other;
  ComPtr<TQoraManager> server;
  uint32_t cookie = 0;
  platform::ui::TScriptedBackend backend;
  platform::ui::TBackendScope scope{backend};
  ComPtr<TQuillmateAgent> agent = platform::MakeCom<TQuillmateAgent>();
};

TEST_F(AgentWithManager, ConnectsWhenTheManagerIsThereAndTakesItsOptionsAndLexicon) {
  EXPECT_FALSE(agent->IsConnected());
  StartManager();
  ASSERT_TRUE(agent->IsConnected());
  EXPECT_EQ(agent->Options().ToWord(), 0x59);
  EXPECT_FALSE(agent->Lexicon().Goals().Empty()) << "the default content's lexicon arrived";
  EXPECT_EQ(agent->Translate(u"Record"), u"Record") << "no translations in the store";
  EXPECT_FALSE(agent->IsLoggedIn());
  EXPECT_EQ(agent->BannerMode(), 0);
}

TEST_F(AgentWithManager, TheStoredOptionsWordIsReadAndTheSettingsDialogWritesItBack) {
  StartManager();
  Other().SetOptionsWord(0x1D1);
  ASSERT_TRUE(agent->IsConnected());
  EXPECT_EQ(agent->Options(), (TQMOptions{1, 0, 0, 0, 1, 0, 3}));
  backend.Script(u"Quillora settings",
                 {Action::SetChecked(u"AutoBindCheckBox", true), Action::Click(u"OKButton")});
  agent->ShowOptions();
  EXPECT_EQ(Other().OptionsWord(), 0x31);
}

TEST_F(AgentWithManager, CaptionsFollowTheManagersLanguage) {
  StartManager();
  ASSERT_TRUE(agent->IsConnected());
  Translate(u"Record", u"Aufnahme");
  Translate(u"Fill form", u"Formular ausfüllen");
  Other().SetLanguage(u"de");
  server->CheckForChanges();
  ASSERT_TRUE(PumpUntil([&] { return agent->Translate(u"Record") == u"Aufnahme"; }));
  EXPECT_EQ(agent->Translate(u"fill form"), u"Formular ausfüllen");
  EXPECT_EQ(agent->Translate(u"Options"), u"Options") << "no entry: the manager keeps it";
}

TEST_F(AgentWithManager, TheManagerQuittingDropsTheConnection) {
  StartManager();
  int quits = 0;
  agent->SetOnManagerQuit([&](TQuillmateAgent&) { ++quits; });
  ASSERT_TRUE(agent->IsConnected());
  platform::RevokeActiveObject(cookie);
  cookie = 0;
  server->AnnounceQuit();
  ASSERT_TRUE(PumpUntil([&] { return quits == 1; }));
  EXPECT_FALSE(agent->IsConnected());
}

TEST_F(AgentWithManager, ProfilesAndCardsOfTheManagerReachTheFillDialog) {
  StartManager();
  ComPtr<IQoraServer> manager = agent->GetServer();
  ASSERT_TRUE(manager);
  Variant profiles;
  String active;
  ASSERT_EQ(manager->GetProfiles(profiles, active), platform::S_OK);
  agent->SetProfiles(profiles, active);
  EXPECT_EQ(agent->ActiveProfile(), active);
  EXPECT_FALSE(active.empty());
  agent->ShowDialog(true);
  ASSERT_TRUE(agent->IsDialogVisible());
  EXPECT_EQ(agent->FillDialog()->ProfileListBox.Count(), agent->Profiles().Count());
}

TEST_F(AgentWithManager, LoginUnlocksWithTheRightPasswordOnlyAndLogoutLocksAgain) {
  StartManager();
  Other().SetPassword(1, u"s3cret");
  ASSERT_TRUE(agent->IsConnected());
  EXPECT_FALSE(agent->IsLoggedIn());
  backend.Script(u"Enter password",
                 {Action::Type(u"PasswordEdit", u"wrong"), Action::Click(u"OKButton")});
  EXPECT_FALSE(agent->Login());
  EXPECT_FALSE(agent->IsLoggedIn());
  backend.Script(u"Enter password",
                 {Action::Type(u"PasswordEdit", u"s3cret"), Action::Click(u"OKButton")});
  EXPECT_TRUE(agent->Login());
  EXPECT_TRUE(agent->IsLoggedIn());
  agent->SetLoggedIn(false);
  EXPECT_FALSE(agent->IsLoggedIn());
}

// The real manager behind the bus adaptor, served by a thread of its own.
class ServedManager {
public:
  explicit ServedManager(ComPtr<IQoraServer> server) : connection_(platform::OpenSessionBus()) {
    adaptor_ = std::make_unique<TQoraServerBusAdaptor>(*connection_, std::move(server));
    loop_ = std::make_unique<platform::BusEventLoop>(*connection_);
    loop_->Start();
  }
  ~ServedManager() {
    loop_.reset();
    adaptor_.reset();
    connection_.reset();
  }

private:
  std::unique_ptr<sdbus::IConnection> connection_;
  std::unique_ptr<TQoraServerBusAdaptor> adaptor_;
  std::unique_ptr<platform::BusEventLoop> loop_;
};

TEST(AgentWithManagerOnBus, FindsTheServedManagerAndHearsItQuit) {
  testing::PrivateBus bus;
  ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.Address().c_str(), 1);
  InstallManagerBusLookup(5s);
  manager::testing::TTempDir folder;
  {
    TManagerStore store(folder.File("manager.db"), &manager::DefaultContent());
    store.SetOptionsWord(0x1D1);
  }
  auto agent = platform::MakeCom<TQuillmateAgent>();
  EXPECT_FALSE(agent->IsConnected()) << "nothing serves the manager's name yet";
  auto server = platform::MakeCom<TQoraManager>(
      std::make_unique<TManagerStore>(folder.File("manager.db"), nullptr));
  auto served = std::make_unique<ServedManager>(server.As<IQoraServer>());
  int quits = 0;
  agent->SetOnManagerQuit([&](TQuillmateAgent&) { ++quits; });
  ASSERT_TRUE(agent->IsConnected());
  EXPECT_EQ(agent->Options(), (TQMOptions{1, 0, 0, 0, 1, 0, 3}));
  EXPECT_FALSE(agent->Lexicon().Goals().Empty());
  server->AnnounceQuit();
  ASSERT_TRUE(PumpUntil([&] { return quits == 1; }));
  served.reset();
  EXPECT_FALSE(agent->IsConnected());
  platform::RegisterActiveObjectProvider(CLASS_QoraServer, {});
}

}  // namespace
}  // namespace qm
