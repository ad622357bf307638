// The manager's interface over a private session bus: a test double served
// by the adaptor, reached through the proxy.
#include "core/Common/QoraServerBus.h"

#include <gtest/gtest.h>
#include <sdbus-c++/sdbus-c++.h>

#include <cstdlib>
#include <future>
#include <thread>

#include "core/Common/QoraServerBusAdaptor.h"
#include "core/Common/QoraServerBusProxy.h"
#include "core/Common/QuillmateLibEvents.h"
#include "platform/com/PendingEvents.h"
#include "platform/com/RunningObjects.h"
#include "platform/com/SessionBus.h"
#include "platform/rtl/Utf.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/QmTesting.h"
#include "testsupport/QoraServerDouble.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using platform::ComPtr;
using platform::EOleException;
using platform::OleCheck;
using testing::TQoraServerDouble;

// A manager: the double behind an adaptor on a connection of its own,
// served by its own thread.
class Manager {
public:
  Manager()
      : server(platform::MakeCom<TQoraServerDouble>()), connection_(platform::OpenSessionBus()) {
    adaptor_ = std::make_unique<TQoraServerBusAdaptor>(*connection_, server);
    loop_ = std::make_unique<platform::BusEventLoop>(*connection_);
    loop_->Start();
  }
  ~Manager() { Stop(); }
  // Ends the manager without announcing it, as a crash would.
  void Stop() {
    loop_.reset();
    adaptor_.reset();
    connection_.reset();
  }

  ComPtr<TQoraServerDouble> server;

private:
  std::unique_ptr<sdbus::IConnection> connection_;
  std::unique_ptr<TQoraServerBusAdaptor> adaptor_;
  std::unique_ptr<platform::BusEventLoop> loop_;
};

class ManagerBus : public ::testing::Test {
protected:
  static void SetUpTestSuite() { bus_ = new testing::PrivateBus; }
  static void TearDownTestSuite() {
    delete bus_;
    bus_ = nullptr;
  }
  // A test may have started (and stopped) a bus of its own.
  void SetUp() override { ::setenv("DBUS_SESSION_BUS_ADDRESS", bus_->Address().c_str(), 1); }

  static ComPtr<TQoraServerBusProxy> Proxy(std::chrono::milliseconds timeout = 5s) {
    auto proxy = TQoraServerBusProxy::Connect(platform::OpenSessionBus(), timeout);
    EXPECT_TRUE(proxy);
    return proxy;
  }

  // Counts the events a sink connected on this thread receives.
  struct Listener {
    explicit Listener(const ComPtr<platform::IUnknown>& server)
        : sink(platform::MakeCom<TQuillmateLibIQoraServerEvents>()) {
      sink->OnQuit = [this](auto&) { Seen(u"quit"); };
      sink->OnLanguageChange = [this](auto&) { Seen(u"language"); };
      sink->OnLogin = [this](auto&, platform::VARIANT_BOOL v) {
        Seen(v == platform::VARIANT_TRUE ? u"login true" : u"login false");
      };
      sink->OnLexiconChange = [this](auto&) { Seen(u"lexicon"); };
      sink->OnDatabaseChange = [this](auto&) { Seen(u"database"); };
      sink->Connect(server);
    }
    ~Listener() { sink->Disconnect(); }
    void Seen(const char16_t* what) {
      EXPECT_EQ(std::this_thread::get_id(), thread);
      events.push_back(what);
    }
    // Pumps this thread's events until count have come (or 10 s passed).
    bool AwaitEvents(size_t count) {
      const auto deadline = std::chrono::steady_clock::now() + 10s;
      while (events.size() < count && std::chrono::steady_clock::now() < deadline) {
        if (platform::WaitForPendingEvents(100ms)) platform::ProcessPendingEvents();
      }
      return events.size() >= count;
    }

    ComPtr<TQuillmateLibIQoraServerEvents> sink;
    std::vector<std::u16string> events;
    std::thread::id thread = std::this_thread::get_id();
  };

  static testing::PrivateBus* bus_;
};

testing::PrivateBus* ManagerBus::bus_ = nullptr;

// ---- Values for the all-operations round trip -----------------------------

template <bus::Wire W>
typename bus::WireValue<W>::Type Sample(int seed) {
  const String tag = platform::Utf8ToUtf16(std::to_string(seed));
  if constexpr (W == bus::Wire::Text) {
    return u"t" + tag + u" \u00e9\U0001F600 \u4e2d";  // Latin, outside the BMP, CJK
  } else if constexpr (W == bus::Wire::Int32) {
    return seed % 3 == 0 ? -seed * 7919 : seed * 104729;
  } else if constexpr (W == bus::Wire::Bool) {
    return seed % 2 == 1;
  } else if constexpr (W == bus::Wire::Stream) {
    return Variant::FromBytes({static_cast<uint8_t>(seed), 0, 255, 10, 13});
  } else {
    return Variant::FromStrings({u"a" + tag, u"", u"\U0001F600=" + tag});
  }
}

Variant AsVariant(const String& v) {
  return Variant::FromString(v);
}
Variant AsVariant(int32_t v) {
  return Variant::FromInt32(v);
}
Variant AsVariant(bool v) {
  return Variant::FromBool(v);
}
Variant AsVariant(const Variant& v) {
  return v;
}

struct RoundTrip {
  std::vector<Variant> inputs, outputs;
};

// Fills the operation's inputs with samples and says what the manager is
// to answer.
template <class Op, class Values>
RoundTrip Prepare(Values& values, int seed) {
  RoundTrip trip;
  [&]<size_t... I>(std::index_sequence<I...>) {
    [[maybe_unused]] auto one = [&](auto arg, auto& value) {
      using A = decltype(arg);
      if constexpr (A::dir != bus::Dir::Out) {
        value = Sample<A::wire>(seed++);
        trip.inputs.push_back(AsVariant(value));
      }
      if constexpr (A::dir != bus::Dir::In)
        trip.outputs.push_back(AsVariant(Sample<A::wire>(seed++)));
    };
    (one(std::tuple_element_t<I, typename Op::Params>{}, std::get<I>(values)), ...);
  }
  (std::make_index_sequence<Op::Count>{});
  return trip;
}

template <class Op, class Values>
std::vector<Variant> Outputs(const Values& values) {
  std::vector<Variant> out;
  [&]<size_t... I>(std::index_sequence<I...>) {
    [[maybe_unused]] auto one = [&](auto arg, const auto& value) {
      if constexpr (decltype(arg)::dir != bus::Dir::In) out.push_back(AsVariant(value));
    };
    (one(std::tuple_element_t<I, typename Op::Params>{}, std::get<I>(values)), ...);
  }
  (std::make_index_sequence<Op::Count>{});
  return out;
}

// Managers and add-ons of other builds rely on these; a change is a new
// interface version, not a refactoring.
TEST(ManagerBusContract, SignaturesStayAsPublished) {
  EXPECT_EQ(bus::InSignature<bus::ResolveFieldOperation>(), "sssss");
  EXPECT_EQ(bus::OutSignature<bus::ResolveFieldOperation>(), "sissbb");
  EXPECT_EQ(bus::InSignature<bus::MatchPageFormsOperation>(), "say");
  EXPECT_EQ(bus::OutSignature<bus::MatchPageFormsOperation>(), "assb");
  EXPECT_EQ(bus::InSignature<bus::SaveCardOperation>(), "isssay");
  EXPECT_EQ(bus::OutSignature<bus::SaveCardOperation>(), "bb");
  EXPECT_EQ(bus::OutSignature<bus::GetProfilesOperation>(), "ass");
  EXPECT_EQ(bus::InSignature<bus::LogoutOperation>(), "");
  EXPECT_EQ(std::tuple_size_v<bus::AllOperations>, 31u);
}

// The test double keeps the same contract in process, so that a test of
// a caller cannot pass with a kind the bus (and the manager) would refuse.
TEST(ManagerBusContract, TheTestDoubleRefusesKindsTheContractDoesNot) {
  auto server = platform::MakeCom<TQoraServerDouble>();
  Variant banner;
  EXPECT_EQ(server->GetBanner(Variant::FromStrings({u"620", u"68"}), banner),
            platform::E_INVALIDARG);
  const std::optional<platform::ErrorInfo> error = platform::TakeErrorInfo();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->Description, u"Argument 1 of GetBanner must be a byte array");
  EXPECT_EQ(server->LastCall().Operation, u"GetBanner") << "the call still counts";
  bool saved = false, passwordNeeded = false;
  EXPECT_EQ(server->SaveFormSet(u"k", u"n", u"t", Variant::FromInt32(1), saved, passwordNeeded),
            platform::E_INVALIDARG);
  EXPECT_EQ(server->GetBanner(Variant::Null(), banner), platform::S_OK);
  EXPECT_EQ(server->GetBanner(Variant::FromBytes({1}), banner), platform::S_OK);

  const auto refused = [&](const char16_t* operation, std::vector<Variant> outputs) {
    try {
      server->SetReply(operation, std::move(outputs));
    } catch (const std::invalid_argument& e) {
      return std::string(e.what());
    }
    return std::string("(taken)");
  };
  EXPECT_EQ(refused(u"GetBanner", {Variant::FromStrings({u"link", u"text"})}),
            "result 1 of GetBanner must be a byte array");
  EXPECT_EQ(refused(u"GetProfiles", {Variant::FromBytes({1})}),
            "result 1 of GetProfiles must be a list of texts");
  EXPECT_EQ(refused(u"GetProfiles", {Variant::FromVariants({Variant::FromStrings({u"a"})})}),
            "result 1 of GetProfiles must be a list of texts");
  EXPECT_EQ(refused(u"GetOptions", {Variant::FromString(u"89")}),
            "result 1 of GetOptions must be a 32-bit integer");
  EXPECT_EQ(refused(u"GetLoggedIn", {Variant::FromBool(true), Variant::FromBool(true)}),
            "GetLoggedIn answers 1 values, not 2");
  EXPECT_EQ(refused(u"GetBanners", {}), "no operation GetBanners");
  EXPECT_EQ(refused(u"ListCards", {Variant(), Variant::FromString(u"sel")}), "(taken)");
  EXPECT_EQ(refused(u"GetProfiles", {Variant::FromVariants({Variant::FromInt32(5)})}), "(taken)");
}

TEST_F(ManagerBus, EveryOperationCarriesItsArgumentsAndResultsIntact) {
  Manager manager;
  auto proxy = Proxy();
  ASSERT_TRUE(proxy);
  // Twice, with other values, so that every flag is true once.
  for (int round = 0; round < 2; ++round) {
    int seed = 1 + round;
    bus::ForEachOperation([&]<class Op>() {
      typename Op::Storage values{};
      const RoundTrip trip = Prepare<Op>(values, seed);
      seed += 11;
      const String name = platform::Utf8ToUtf16(Op::Name);
      manager.server->SetReply(name, trip.outputs);
      const HRESULT status =
          std::apply([&](auto&... v) { return (proxy.Get()->*Op::method)(v...); }, values);
      ASSERT_EQ(status, platform::S_OK) << Op::Name;
      const auto call = manager.server->LastCall();
      EXPECT_EQ(call.Operation, name);
      EXPECT_EQ(call.Inputs, trip.inputs) << Op::Name;
      EXPECT_EQ(Outputs<Op>(values), trip.outputs) << Op::Name;
    });
  }
  EXPECT_EQ(manager.server->CallCount(), 2 * std::tuple_size_v<bus::AllOperations>);
}

TEST_F(ManagerBus, EmptyVariantsListsOfVariantsAndUnsendableCharactersArriveAsDocumented) {
  Manager manager;
  auto proxy = Proxy();
  ASSERT_TRUE(proxy);

  // Empty travels as a zero-length array and arrives empty; so does null,
  // and a zero-length array.
  manager.server->SetReply(u"GetBanner", {Variant::FromBytes({})});
  Variant banner = Variant::FromInt32(1);
  OleCheck(proxy->GetBanner(Variant::Null(), banner));
  EXPECT_TRUE(banner.IsEmpty());
  EXPECT_TRUE(manager.server->LastCall().Inputs.at(0).IsEmpty());
  manager.server->SetReply(u"ListCards", {Variant(), Variant::FromString(u"sel")});
  Variant list = Variant::FromInt32(1);
  String selected;
  OleCheck(proxy->ListCards(CardKindMail, u"", list, selected));
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(selected, u"sel");

  // A list of variants goes as its texts.
  manager.server->SetReply(
      u"GetProfiles",
      {Variant::FromVariants(
          {Variant::FromString(u"Home"), Variant::FromInt32(5), Variant::FromBool(true)}, 1)});
  Variant profiles;
  String active;
  OleCheck(proxy->GetProfiles(profiles, active));
  EXPECT_EQ(profiles, Variant::FromStrings({u"Home", u"5", u"True"}));

  // D-Bus strings cannot carry NUL or an unpaired surrogate.
  OleCheck(proxy->SetActiveProfile(String(u"a\0b", 3) + u"\xD800" + u"c"));
  EXPECT_EQ(manager.server->LastCall().Inputs.at(0), Variant::FromString(u"a\uFFFDb\uFFFDc"));

  // ResolveField's profile field goes both ways.
  manager.server->SetReply(u"ResolveField", {Variant::FromString(u"Last name")});
  String field = u"Surname";
  int32_t kind = 0;
  String value, values;
  bool found = false, password = false;
  OleCheck(proxy->ResolveField(u"", u"input", u"text", u"lname", field, kind, value, values, found,
                               password));
  EXPECT_EQ(manager.server->LastCall().Inputs.at(4), Variant::FromString(u"Surname"));
  EXPECT_EQ(field, u"Last name");
}

TEST_F(ManagerBus, AFailingOperationRaisesTheManagersMessage) {
  Manager manager;
  auto proxy = Proxy();
  ASSERT_TRUE(proxy);
  manager.server->SetFailure(u"Login", static_cast<HRESULT>(0x80070005u), u"Wrong password");
  const auto e = testing::ExpectThrowsExactly<EOleException>(
      [&] { OleCheck(proxy->Login(u"guess")); }, u"Wrong password");
  EXPECT_EQ(e.Source(), u"org.quillora.Manager.Error.Failed");
  EXPECT_TRUE(platform::Failed(e.ErrorCode()));

  // A failure without a description carries the status's text.
  manager.server->SetFailure(u"Logout", platform::E_NOTIMPL, u"");
  testing::ExpectThrowsExactly<EOleException>([&] { OleCheck(proxy->Logout()); },
                                              u"Not implemented");
  // The outputs of a failed call are left alone.
  manager.server->SetFailure(u"GetOptions", platform::E_FAIL, u"no options");
  int32_t options = 77;
  EXPECT_TRUE(platform::Failed(proxy->GetOptions(options)));
  EXPECT_EQ(options, 77);
}

TEST_F(ManagerBus, EventsArriveOnTheConnectingThreadOnlyWhenItProcessesThem) {
  Manager manager;
  auto proxy = Proxy();
  ASSERT_TRUE(proxy);
  Listener here(proxy.As<platform::IUnknown>());

  // A sink connected on another thread gets its events there.
  std::promise<void> connected, done;
  std::vector<std::u16string> elsewhere;
  std::thread worker([&] {
    Listener there(proxy.As<platform::IUnknown>());
    connected.set_value();
    EXPECT_TRUE(there.AwaitEvents(1));
    elsewhere = there.events;
    done.set_value();
  });
  connected.get_future().wait();

  manager.server->Fire(DISPID_OnLogin, {Variant::FromBool(true)});
  ASSERT_TRUE(platform::WaitForPendingEvents(10s));
  EXPECT_TRUE(here.events.empty());  // queued, not delivered
  done.get_future().wait();
  worker.join();
  EXPECT_EQ(elsewhere, (std::vector<std::u16string>{u"login true"}));
  EXPECT_TRUE(here.events.empty());  // the worker's delivery did not run here

  manager.server->Fire(DISPID_OnLanguageChange);
  manager.server->Fire(DISPID_OnLogin, {Variant::FromBool(false)});
  manager.server->Fire(DISPID_OnLexiconChange);
  manager.server->Fire(DISPID_OnDatabaseChange);
  manager.server->Fire(DISPID_OnQuit);
  ASSERT_TRUE(here.AwaitEvents(6));
  EXPECT_EQ(here.events, (std::vector<std::u16string>{u"login true", u"language", u"login false",
                                                      u"lexicon", u"database", u"quit"}));
  // A manager announces what a call changed while it serves the call.
  manager.server->SetCallHook([&](const String& operation) {
    if (operation == u"Login") manager.server->Fire(DISPID_OnLogin, {Variant::FromBool(true)});
  });
  OleCheck(proxy->Login(u"secret"));
  ASSERT_TRUE(here.AwaitEvents(7));
  EXPECT_EQ(here.events.back(), u"login true");
  manager.server->SetCallHook({});

  // The announced quit is not repeated when the manager then goes away
  // (a repeat would be queued at once; a while without one will do).
  manager.Stop();
  EXPECT_TRUE(platform::Failed(proxy->NotifyNavigateComplete()));
  EXPECT_FALSE(platform::WaitForPendingEvents(300ms));
  EXPECT_EQ(here.events.size(), 7u);
}

TEST_F(ManagerBus, BadCallsAreRefusedWhileTheServiceStaysUp) {
  Manager manager;
  auto connection = platform::OpenSessionBus();
  const std::string owner = platform::BusNameOwner(*connection, bus::BusName, 5s);
  auto raw = sdbus::createProxy(*connection, owner, bus::ObjectPath);
  auto refusal = [&](auto&& call) -> std::string {
    try {
      call();
    } catch (const sdbus::Error& e) {
      return e.getName() + ": " + e.getMessage();
    }
    return "answered";
  };
  // Wrong signature.
  EXPECT_NE(refusal([&] {
              raw->callMethod("GetOptions").onInterface(bus::InterfaceName).withArguments(1);
            }).find("org.freedesktop.DBus.Error.InvalidArgs"),
            std::string::npos);
  EXPECT_NE(refusal([&] {
              raw->callMethod("Login").onInterface(bus::InterfaceName).withArguments(7);
            }).find("InvalidArgs"),
            std::string::npos);
  // Text over the cap.
  EXPECT_EQ(refusal([&] {
              raw->callMethod("SetActiveProfile")
                  .onInterface(bus::InterfaceName)
                  .withArguments(std::string(bus::MaxTextBytes + 1, 'x'));
            }),
            "org.quillora.Manager.Error.InvalidArgs: Argument 1 of SetActiveProfile is too big: "
            "1048577 bytes of text, at most 1048576");
  // Unknown method.
  EXPECT_NE(refusal([&] { raw->callMethod("Format").onInterface(bus::InterfaceName); }),
            "answered");
  EXPECT_EQ(manager.server->CallCount(), 0u);  // nothing reached the implementation

  // A list over the cap is refused on the way back.
  manager.server->SetReply(
      u"GetProfiles", {Variant::FromStrings(std::vector<String>(bus::MaxListItems + 1, u"p"))});
  auto proxy = Proxy();
  ASSERT_TRUE(proxy);
  Variant profiles;
  String active;
  testing::ExpectThrowsExactly<EOleException>(
      [&] { OleCheck(proxy->GetProfiles(profiles, active)); },
      u"Result 1 of GetProfiles is too big: 100001 items, at most 100000");
  // And the proxy refuses to send what the adaptor would refuse.
  const HRESULT status = proxy->SetActiveProfile(String(bus::MaxTextBytes + 1, u'x'));
  EXPECT_EQ(status, platform::E_INVALIDARG);
  EXPECT_EQ(manager.server->CallCount(), 1u);

  int32_t options = 0;
  manager.server->SetReply(u"GetOptions", {Variant::FromInt32(0x59)});
  OleCheck(proxy->GetOptions(options));
  EXPECT_EQ(options, 0x59);
}

TEST_F(ManagerBus, TheProxyRefusesAManagerThatBreaksTheContract) {
  // A stand-in that answers with the wrong kinds and too much.
  auto connection = platform::OpenSessionBus();
  auto object = sdbus::createObject(*connection, bus::ObjectPath);
  object->registerMethod("GetOptions").onInterface(bus::InterfaceName).implementedAs([] {
    return std::string("not a number");
  });
  object->registerMethod("GetProfiles").onInterface(bus::InterfaceName).implementedAs([] {
    return std::make_tuple(std::vector<std::string>(bus::MaxListItems + 1, "p"), std::string());
  });
  object->finishRegistration();
  connection->requestName(bus::BusName);
  platform::BusEventLoop loop(*connection);
  loop.Start();

  auto proxy = Proxy();
  ASSERT_TRUE(proxy);
  int32_t options = 0;
  testing::ExpectThrowsExactly<EOleException>(
      [&] { OleCheck(proxy->GetOptions(options)); },
      u"The reply to GetOptions carries 's', expecting 'i'");
  Variant profiles;
  String active;
  testing::ExpectThrowsExactly<EOleException>(
      [&] { OleCheck(proxy->GetProfiles(profiles, active)); },
      u"Result 1 of GetProfiles has too many items: more than 100000");
  EXPECT_TRUE(profiles.IsEmpty());
}

TEST_F(ManagerBus, AProxyOfAStoppedManagerFailsAndTheRestartedOneIsFound) {
  InstallManagerBusLookup(5s);
  InstallManagerBusLookup(5s);  // idempotent
  ComPtr<platform::IUnknown> found;
  EXPECT_EQ(platform::GetActiveObject(CLASS_QoraServer, found), platform::MK_E_UNAVAILABLE);

  auto first = std::make_unique<Manager>();
  ASSERT_EQ(platform::GetActiveObject(CLASS_QoraServer, found), platform::S_OK);
  auto old = found.As<IQoraServer>();
  ASSERT_TRUE(old);
  OleCheck(old->NotifyNavigateComplete());
  Listener listener(found);

  first.reset();  // gone without a word
  try {
    OleCheck(old->NotifyNavigateComplete());
    ADD_FAILURE() << "a call to a stopped manager succeeded";
  } catch (const EOleException& e) {
    EXPECT_EQ(e.ErrorCode(), platform::RPC_E_DISCONNECTED) << e.what();
  }
  ASSERT_TRUE(listener.AwaitEvents(1));
  EXPECT_EQ(listener.events, (std::vector<std::u16string>{u"quit"}));
  EXPECT_EQ(platform::GetActiveObject(CLASS_QoraServer, found), platform::MK_E_UNAVAILABLE);

  Manager second;
  ASSERT_EQ(platform::GetActiveObject(CLASS_QoraServer, found), platform::S_OK);
  auto fresh = found.As<IQoraServer>();
  ASSERT_TRUE(fresh);
  OleCheck(fresh->NotifyNavigateComplete());
  EXPECT_EQ(second.server->CallCount(), 1u);
  EXPECT_TRUE(platform::Failed(old->NotifyNavigateComplete()));  // still bound to the first
  platform::RegisterActiveObjectProvider(CLASS_QoraServer, {});
}

TEST_F(ManagerBus, ACallTimesOutInsteadOfHanging) {
  Manager manager;
  // Long enough that the answered call after the release still makes it on
  // a machine busy with the rest of the suite; the held call costs this once.
  auto proxy = Proxy(1500ms);
  ASSERT_TRUE(proxy);
  manager.server->Hold();
  int32_t mode = 0;
  const HRESULT status = proxy->GetBannerMode(mode);
  EXPECT_EQ(status, platform::RPC_E_TIMEOUT);
  EXPECT_TRUE(manager.server->WaitForHeldCall(10s));
  manager.server->ReleaseHeld();
  manager.server->SetReply(u"GetBannerMode", {Variant::FromInt32(1)});
  OleCheck(proxy->GetBannerMode(mode));  // the late answer does not confuse the next call
  EXPECT_EQ(mode, 1);
}

TEST_F(ManagerBus, ABrokenBusFailsCallsCleanly) {
  testing::PrivateBus own;  // this test's own bus, to break
  Manager manager;
  auto proxy = Proxy();
  ASSERT_TRUE(proxy);
  OleCheck(proxy->Logout());
  own.Stop();
  EXPECT_TRUE(platform::Failed(proxy->Logout()));
  EXPECT_TRUE(platform::Failed(proxy->Logout()));
  EXPECT_THROW(ConnectManagerOverBus(1s), EOleException);
}

}  // namespace
}  // namespace qm
