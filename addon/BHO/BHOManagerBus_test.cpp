// The helper object with the manager as the user runs it: the program on
// the session bus (a private one), killed in the middle of a page.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "core/Common/QoraServerBusProxy.h"
#include "engines/memdom/UserActions.h"
#include "manager/recognition/DefaultContent.h"
#include "platform/com/RunningObjects.h"
#include "testsupport/BhoWindow.h"
#include "testsupport/PrivateBus.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using testing::SavePageForms;
using testing::TBhoWindow;
using testing::TManagerProcess;

class ManagerOverBus : public ::testing::Test {
protected:
  static void SetUpTestSuite() { bus_ = new testing::PrivateBus; }
  static void TearDownTestSuite() {
    delete bus_;
    bus_ = nullptr;
  }
  void SetUp() override {
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bus_->Address().c_str(), 1);
    InstallManagerBusLookup(5s);
    manager::TManagerStore store(storePath, &manager::DefaultContent());
    store.SetFieldValue(store.ActiveProfile().Id, store.FieldCaptioned(u"First name").Id, u"Ada");
  }
  void TearDown() override { platform::RegisterActiveObjectProvider(CLASS_QoraServer, {}); }

  static testing::PrivateBus* bus_;
  testing::TTempFolder folder;
  std::string storePath = folder.File("manager.db");
  platform::ui::TScriptedBackend backend;
  platform::ui::TBackendScope scope{backend};
};

testing::PrivateBus* ManagerOverBus::bus_ = nullptr;

TEST_F(ManagerOverBus, AManagerKilledMidPageLeavesTheWindowGoingAndARestartIsFoundAgain) {
  auto manager = std::make_unique<TManagerProcess>(storePath);
  TBhoWindow window;
  constexpr char choice[] =
      "<form action=a><select id=s name=s onchange=choose><option>x<option>y</select></form>";
  window.AddPage(u"http://h/page", choice);
  window.Load(u"http://h/page");
  ASSERT_TRUE(window.Agent().IsConnected());
  window.Element(u"s").As<platform::PageSelectElement>()->setSelectedIndex(1);
  SavePageForms(window, *window.Agent().GetServer(), u"Choice");

  // The page gained a form the stored set doesn't know: it is filled from
  // the profile, after the first form, whose fill kills the manager.
  window.AddPage(u"http://h/page",
                 std::string(choice) + "<form action=b><input id=fn name=first_name></form>");
  window.Scripts().Bind(u"choose", [&](memdom::ScriptContext&) { manager->Kill(); });
  window.Load(u"http://h/page");
  EXPECT_FALSE(manager->Running());
  EXPECT_EQ(window.Value(u"s"), u"y") << "filled before the manager went";
  EXPECT_EQ(window.Value(u"fn"), u"") << "nobody left to ask";

  // The manager's going is noticed; the window goes on without it.
  ASSERT_TRUE(window.PumpUntil([&] { return window.Helper().PageForms().Count() == 0; }));
  EXPECT_FALSE(window.Agent().IsConnected());
  window.AddPage(u"http://h/join", "<form><input id=fn name=first_name></form>");
  window.Load(u"http://h/join");
  EXPECT_EQ(window.Value(u"fn"), u"");
  EXPECT_EQ(window.Helper().PageForms().Count(), 1);

  // Started again, the manager is found by the next page.
  manager = std::make_unique<TManagerProcess>(storePath);
  window.Load(u"http://h/join");
  EXPECT_TRUE(window.Agent().IsConnected());
  EXPECT_EQ(window.Value(u"fn"), u"Ada");
}

}  // namespace
}  // namespace qm
