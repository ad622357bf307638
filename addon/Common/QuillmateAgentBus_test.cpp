// The agent reaching a manager over a private session bus, through the
// running-object table's bus lookup, as it does in a real browser.
#include <gtest/gtest.h>
#include <sdbus-c++/sdbus-c++.h>
#include <stdlib.h>

#include <chrono>

#include "addon/Common/QuillmateAgent.h"
#include "core/Common/QoraServerBusAdaptor.h"
#include "core/Common/QoraServerBusProxy.h"
#include "core/Common/TextUtils.h"
#include "platform/com/PendingEvents.h"
#include "platform/com/RunningObjects.h"
#include "platform/com/SessionBus.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/QoraServerDouble.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using platform::ComPtr;
using testing::TQoraServerDouble;

// A manager served on the bus by a thread of its own.
class BusManager {
public:
  explicit BusManager(ComPtr<TQoraServerDouble> server)
      : server_(std::move(server)), connection_(platform::OpenSessionBus()) {
    adaptor_ = std::make_unique<TQoraServerBusAdaptor>(*connection_, server_);
    loop_ = std::make_unique<platform::BusEventLoop>(*connection_);
    loop_->Start();
  }
  ~BusManager() {
    loop_.reset();
    adaptor_.reset();
    connection_.reset();
  }

private:
  ComPtr<TQoraServerDouble> server_;
  std::unique_ptr<sdbus::IConnection> connection_;
  std::unique_ptr<TQoraServerBusAdaptor> adaptor_;
  std::unique_ptr<platform::BusEventLoop> loop_;
};

class AgentOverBus : public ::testing::Test {
protected:
  static void SetUpTestSuite() { bus_ = new testing::PrivateBus; }
  static void TearDownTestSuite() {
    platform::RegisterActiveObjectProvider(CLASS_QoraServer, {});
    delete bus_;
    bus_ = nullptr;
  }
  void SetUp() override {
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bus_->Address().c_str(), 1);
    InstallManagerBusLookup(5s);
  }
  void TearDown() override { platform::RegisterActiveObjectProvider(CLASS_QoraServer, {}); }

  // Pumps this thread's events until done() holds (or 10 s passed).
  template <class F>
  static bool PumpUntil(F done) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      if (platform::WaitForPendingEvents(100ms)) platform::ProcessPendingEvents();
    }
    return done();
  }

  static testing::PrivateBus* bus_;
};

testing::PrivateBus* AgentOverBus::bus_ = nullptr;

TEST_F(AgentOverBus, FindsAManagerStartedLaterReadsItsWordsAndHearsItQuit) {
  auto agent = platform::MakeCom<TQuillmateAgent>();
  EXPECT_FALSE(agent->IsConnected()) << "nobody owns the manager's name yet";

  auto server = platform::MakeCom<TQoraServerDouble>();
  server->SetReply(u"GetOptions", {Variant::FromInt32(0x1D1)});
  TMemoryStream translation;
  WriteInt32(translation, 16);
  for (int i = 0; i < 16; ++i)
    WriteWideString(translation, u"Ü" + IntToText(i));
  server->SetReply(u"TranslateStrings", {StreamToVariant(translation)});
  auto manager = std::make_unique<BusManager>(server);

  int quits = 0;
  agent->SetOnManagerQuit([&](TQuillmateAgent&) { ++quits; });
  ASSERT_TRUE(agent->IsConnected());
  EXPECT_EQ(agent->Options(), (TQMOptions{1, 0, 0, 0, 1, 0, 3}));
  EXPECT_EQ(agent->Translate(u"Fill form"), u"Ü4");

  server->Fire(DISPID_OnQuit);
  ASSERT_TRUE(PumpUntil([&] { return quits == 1; }));
  manager.reset();
  EXPECT_FALSE(agent->IsConnected());
  EXPECT_FALSE(agent->IsLoggedIn());

  manager = std::make_unique<BusManager>(server);
  EXPECT_TRUE(agent->IsConnected()) << "a restarted manager is found again";
}

TEST_F(AgentOverBus, AManagerThatVanishesIsNoticedAsAQuit) {
  auto agent = platform::MakeCom<TQuillmateAgent>();
  auto server = platform::MakeCom<TQoraServerDouble>();
  auto manager = std::make_unique<BusManager>(server);
  int quits = 0;
  agent->SetOnManagerQuit([&](TQuillmateAgent&) { ++quits; });
  ASSERT_TRUE(agent->IsConnected());
  manager.reset();  // gone without a word
  ASSERT_TRUE(PumpUntil([&] { return quits == 1; }));
  EXPECT_FALSE(agent->IsConnected());
}

}  // namespace
}  // namespace qm
