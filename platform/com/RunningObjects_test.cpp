#include "platform/com/RunningObjects.h"

#include <gtest/gtest.h>
#include <sdbus-c++/Error.h>

#include "platform/com/ErrorInfo.h"
#include "platform/com/SessionBus.h"
#include "platform/rtl/Exception.h"

namespace qm::platform {
namespace {

constexpr CLSID SomeClass = MakeGuid("{33333333-0000-0000-0000-000000000001}");
constexpr CLSID OtherClass = MakeGuid("{33333333-0000-0000-0000-000000000002}");

struct IThing : IUnknown {
  static constexpr IID Iid = MakeGuid("{33333333-0000-0000-0000-0000000000A1}");
  using BaseInterface = IUnknown;
};

class Thing final : public ComObject<IThing> {
public:
  explicit Thing(bool* destroyed = nullptr) : destroyed_(destroyed) {}
  ~Thing() override {
    if (destroyed_) *destroyed_ = true;
  }

private:
  bool* destroyed_;
};

ComPtr<IUnknown> Unknown(const ComPtr<Thing>& thing) {
  return thing.As<IUnknown>();
}

TEST(RunningObjects, ARegistrationIsFoundUntilRevokedAndHoldsItsObject) {
  bool destroyed = false;
  uint32_t cookie = 0;
  {
    auto thing = MakeCom<Thing>(&destroyed);
    cookie = RegisterActiveObject(SomeClass, Unknown(thing));
    EXPECT_NE(cookie, 0u);
  }
  EXPECT_FALSE(destroyed);
  ComPtr<IUnknown> found;
  EXPECT_EQ(GetActiveObject(SomeClass, found), S_OK);
  EXPECT_TRUE(found.As<IThing>());
  EXPECT_EQ(GetActiveObject(OtherClass, found), MK_E_UNAVAILABLE);
  EXPECT_FALSE(found);

  EXPECT_EQ(RevokeActiveObject(cookie), S_OK);
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(RevokeActiveObject(cookie), E_INVALIDARG);
  EXPECT_EQ(GetActiveObject(SomeClass, found), MK_E_UNAVAILABLE);
  EXPECT_THROW(RegisterActiveObject(SomeClass, nullptr), Exception);
}

TEST(RunningObjects, TheOldestRegistrationOfAClassAnswersFirst) {
  auto first = MakeCom<Thing>();
  auto second = MakeCom<Thing>();
  const uint32_t firstCookie = RegisterActiveObject(SomeClass, Unknown(first));
  const uint32_t secondCookie = RegisterActiveObject(SomeClass, Unknown(second));
  ComPtr<IUnknown> found;
  ASSERT_EQ(GetActiveObject(SomeClass, found), S_OK);
  EXPECT_EQ(found.Get(), Unknown(first).Get());
  RevokeActiveObject(firstCookie);
  ASSERT_EQ(GetActiveObject(SomeClass, found), S_OK);
  EXPECT_EQ(found.Get(), Unknown(second).Get());
  RevokeActiveObject(secondCookie);
}

TEST(RunningObjects, TheProviderIsAskedOnlyWhenNothingIsRegisteredHere) {
  auto far = MakeCom<Thing>();
  int asked = 0;
  RegisterActiveObjectProvider(SomeClass, [&]() -> ComPtr<IUnknown> {
    ++asked;
    return Unknown(far);
  });
  ComPtr<IUnknown> found;
  ASSERT_EQ(GetActiveObject(SomeClass, found), S_OK);
  EXPECT_EQ(found.Get(), Unknown(far).Get());
  EXPECT_EQ(asked, 1);

  auto near = MakeCom<Thing>();
  const uint32_t cookie = RegisterActiveObject(SomeClass, Unknown(near));
  ASSERT_EQ(GetActiveObject(SomeClass, found), S_OK);
  EXPECT_EQ(found.Get(), Unknown(near).Get());
  EXPECT_EQ(asked, 1);
  RevokeActiveObject(cookie);

  EXPECT_EQ(GetActiveObject(OtherClass, found), MK_E_UNAVAILABLE);
  EXPECT_EQ(asked, 1);  // providers are per class

  RegisterActiveObjectProvider(SomeClass, {});
  EXPECT_EQ(GetActiveObject(SomeClass, found), MK_E_UNAVAILABLE);
  EXPECT_EQ(asked, 1);
}

TEST(RunningObjects, AProviderThatFindsNothingOrFailsAnswersUnavailable) {
  RegisterActiveObjectProvider(SomeClass, [] { return ComPtr<IUnknown>(); });
  ComPtr<IUnknown> found;
  EXPECT_EQ(GetActiveObject(SomeClass, found), MK_E_UNAVAILABLE);

  RegisterActiveObjectProvider(SomeClass,
                               []() -> ComPtr<IUnknown> { throw Exception(u"no bus here"); });
  ClearErrorInfo();
  EXPECT_EQ(GetActiveObject(SomeClass, found), MK_E_UNAVAILABLE);
  EXPECT_FALSE(found);
  auto info = TakeErrorInfo();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Description, u"no bus here");
  RegisterActiveObjectProvider(SomeClass, {});
}

TEST(SessionBus, BusErrorsBecomeOleExceptionsWithTheirKindOfStatus) {
  const EOleException timeout =
      BusException(sdbus::Error("org.freedesktop.DBus.Error.NoReply", "Method call timed out"));
  EXPECT_EQ(timeout.ErrorCode(), RPC_E_TIMEOUT);
  EXPECT_EQ(timeout.Message(), u"Method call timed out");
  EXPECT_EQ(timeout.Source(), u"org.freedesktop.DBus.Error.NoReply");

  EXPECT_EQ(
      BusException(sdbus::Error("org.freedesktop.DBus.Error.ServiceUnknown", "gone")).ErrorCode(),
      RPC_E_DISCONNECTED);
  EXPECT_EQ(BusException(sdbus::Error("org.quillora.Manager.Error.InvalidArgs", "x")).ErrorCode(),
            E_INVALIDARG);
  const EOleException failed = BusException(sdbus::Error("org.quillora.Manager.Error.Failed", ""));
  EXPECT_EQ(failed.ErrorCode(), E_FAIL);
  EXPECT_EQ(failed.Message(), u"org.quillora.Manager.Error.Failed");  // no text: the name
}

}  // namespace
}  // namespace qm::platform
