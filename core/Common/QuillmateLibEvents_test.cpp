#include "core/Common/QuillmateLibEvents.h"

#include <gtest/gtest.h>

#include "platform/com/ErrorInfo.h"
#include "testsupport/QmTesting.h"
#include "testsupport/QoraServerDouble.h"

namespace qm {
namespace {

using platform::ComPtr;
using platform::DISPATCH_METHOD;
using platform::DISPATCH_PROPERTYGET;
using platform::DispParams;
using platform::Exception;
using testing::TQoraServerDouble;

class EventSink : public ::testing::Test {
protected:
  EventSink() : sink(platform::MakeCom<TQuillmateLibIQoraServerEvents>()) {
    sink->OnQuit = [this](auto& sender) { Note(sender, u"quit"); };
    sink->OnLanguageChange = [this](auto& sender) { Note(sender, u"language"); };
    sink->OnLogin = [this](auto& sender, platform::VARIANT_BOOL value) {
      Note(sender, value == platform::VARIANT_TRUE ? u"login true" : u"login other");
      login = value;
    };
    sink->OnLexiconChange = [this](auto& sender) { Note(sender, u"lexicon"); };
    sink->OnDatabaseChange = [this](auto& sender) { Note(sender, u"database"); };
  }

  void Note(TQuillmateLibIQoraServerEvents& sender, const char16_t* what) {
    EXPECT_EQ(&sender, sink.Get());
    raised.push_back(what);
  }

  HRESULT Call(platform::DISPID id, DispParams params = {}, uint16_t flags = DISPATCH_METHOD) {
    return sink->Invoke(id, flags, params, nullptr);
  }

  ComPtr<TQuillmateLibIQoraServerEvents> sink;
  std::vector<std::u16string> raised;
  platform::VARIANT_BOOL login = 0;
};

TEST_F(EventSink, EachDispatchNumberRaisesItsOwnEvent) {
  for (platform::DISPID id = 201; id <= 205; ++id) {
    DispParams params;
    if (id == DISPID_OnLogin) params.Args = {Variant::FromBool(true)};
    EXPECT_EQ(Call(id, params), platform::S_OK) << id;
  }
  EXPECT_EQ(raised, (std::vector<std::u16string>{u"quit", u"language", u"login true", u"lexicon",
                                                 u"database"}));
}

TEST_F(EventSink, UnknownNumberAnswersMemberNotFoundAndUnsetEventsAreSkipped) {
  EXPECT_EQ(Call(206), platform::DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call(0), platform::DISP_E_MEMBERNOTFOUND);
  EXPECT_TRUE(raised.empty());
  sink->OnQuit = nullptr;
  EXPECT_EQ(Call(DISPID_OnQuit), platform::S_OK);
  EXPECT_TRUE(raised.empty());
}

TEST_F(EventSink, PropertyGetIsRefusedWithTheMethodCallMessage) {
  platform::ClearErrorInfo();
  EXPECT_EQ(Call(DISPID_OnQuit, {}, DISPATCH_PROPERTYGET), platform::DISP_E_EXCEPTION);
  EXPECT_TRUE(raised.empty());
  auto info = platform::TakeErrorInfo();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Description,
            u"TQuillmateLibIQoraServerEvents only supports sinking of method calls!");
}

TEST_F(EventSink, OnLoginTakesItsArgumentByNameBeforePosition) {
  // Positional arguments travel last-first: declared argument 0 is the
  // last one passed.
  EXPECT_EQ(Call(DISPID_OnLogin, {{Variant::FromBool(false), Variant::FromBool(true)}, {}}),
            platform::S_OK);
  EXPECT_EQ(login, platform::VARIANT_TRUE);
  // Named: declared argument 0 sits where the name says.
  EXPECT_EQ(Call(DISPID_OnLogin, {{Variant::FromBool(true), Variant::FromBool(false)}, {0}}),
            platform::S_OK);
  EXPECT_EQ(login, platform::VARIANT_TRUE);
  EXPECT_EQ(Call(DISPID_OnLogin, {{Variant::FromBool(false), Variant::FromBool(true)}, {0}}),
            platform::S_OK);
  EXPECT_EQ(login, platform::VARIANT_FALSE);
  // A name outside the declared range is ignored.
  EXPECT_EQ(Call(DISPID_OnLogin, {{Variant::FromBool(true)}, {7}}), platform::S_OK);
  EXPECT_EQ(login, platform::VARIANT_TRUE);
}

TEST_F(EventSink, NothingLeavesInvokeButAFailureStatus) {
  sink->OnDatabaseChange = [](auto&) { throw Exception(u"handler failed"); };
  platform::ClearErrorInfo();
  EXPECT_EQ(Call(DISPID_OnDatabaseChange), platform::DISP_E_EXCEPTION);
  auto info = platform::TakeErrorInfo();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Description, u"handler failed");
  // OnLogin without its argument, or with one that is no flag.
  EXPECT_EQ(Call(DISPID_OnLogin), platform::DISP_E_EXCEPTION);
  EXPECT_EQ(Call(DISPID_OnLogin, {{Variant::FromString(u"yes")}, {}}), platform::DISP_E_EXCEPTION);
  EXPECT_TRUE(raised.empty());
}

TEST_F(EventSink, ConnectDetachesFromTheOldServerBeforeAttachingToTheNew) {
  auto first = platform::MakeCom<TQoraServerDouble>();
  auto second = platform::MakeCom<TQoraServerDouble>();
  sink->Connect(first.As<platform::IUnknown>());
  EXPECT_EQ(first->SinkCount(), 1);
  EXPECT_NE(sink->Cookie(), 0u);
  sink->Connect(second.As<platform::IUnknown>());
  EXPECT_EQ(first->SinkCount(), 0);
  EXPECT_EQ(second->SinkCount(), 1);
  EXPECT_EQ(platform::ComIdentity(sink->Source()), platform::ComIdentity(second));

  // Events come through the server's connection point.
  first->Fire(DISPID_OnQuit);
  second->Fire(DISPID_OnLogin, {Variant::FromBool(true)});
  EXPECT_EQ(raised, (std::vector<std::u16string>{u"login true"}));

  sink->Disconnect();
  EXPECT_EQ(second->SinkCount(), 0);
  EXPECT_FALSE(sink->Connected());
  EXPECT_FALSE(sink->ConnectionPoint());
  sink->Disconnect();  // harmless when detached
}

TEST_F(EventSink, AFailedConnectNamesTheComponentAndTheReason) {
  struct NoEvents : platform::ComObject<platform::IDispatch> {
    HRESULT GetTypeInfoCount(uint32_t&) override { return platform::E_NOTIMPL; }
    HRESULT GetIDsOfNames(const std::vector<String>&, std::vector<platform::DISPID>&) override {
      return platform::E_NOTIMPL;
    }
    HRESULT Invoke(platform::DISPID, uint16_t, const DispParams&, Variant*) override {
      return platform::E_NOTIMPL;
    }
  };
  auto attached = platform::MakeCom<TQoraServerDouble>();
  sink->Connect(attached.As<platform::IUnknown>());
  platform::SetErrorInfo({u"left over from an earlier call", {}});
  testing::ExpectThrowsExactly<Exception>(
      [&] { sink->Connect(platform::MakeCom<NoEvents>().As<platform::IUnknown>()); },
      u"Unable to connect TQuillmateLibIQoraServerEvents.\rNo such interface supported");
  EXPECT_FALSE(sink->Connected());
  EXPECT_EQ(attached->SinkCount(), 0);  // the old attachment went first

  sink->SetName(u"ManagerEvents");
  testing::ExpectThrowsExactly<Exception>([&] { sink->Connect(nullptr); },
                                          u"Unable to connect ManagerEvents.\rInvalid pointer");
}

}  // namespace
}  // namespace qm
