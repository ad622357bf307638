#include <gtest/gtest.h>

#include <cstring>
#include <unordered_set>

#include "platform/com/ErrorInfo.h"
#include "platform/com/Guid.h"
#include "platform/com/OleException.h"
#include "platform/com/SiteInterfaces.h"
#include "platform/com/Unknown.h"

namespace qm::platform {
namespace {

constexpr GUID ManagerClass = MakeGuid("{8DDD182B-AE09-4CB3-BA9A-DA3A0AA0AC4A}");

TEST(Guid, FormatsInTheRegistryForm) {
  EXPECT_EQ(GuidToString(ManagerClass), u"{8DDD182B-AE09-4CB3-BA9A-DA3A0AA0AC4A}");
  EXPECT_EQ(ManagerClass.Data1, 0x8DDD182Bu);
  EXPECT_EQ(ManagerClass.Data2, 0xAE09);
  EXPECT_EQ(ManagerClass.Data3, 0x4CB3);
  EXPECT_EQ(ManagerClass.Data4[0], 0xBA);
  EXPECT_EQ(ManagerClass.Data4[7], 0x4A);
  EXPECT_EQ(GuidToString(GUID_NULL), u"{00000000-0000-0000-0000-000000000000}");
}

TEST(Guid, ParsesEitherCaseAndRejectsMalformedText) {
  EXPECT_EQ(TryParseGuid(u"{8ddd182b-ae09-4cb3-ba9a-da3a0aa0ac4a}"), ManagerClass);
  EXPECT_FALSE(TryParseGuid(u"8DDD182B-AE09-4CB3-BA9A-DA3A0AA0AC4A"));
  EXPECT_FALSE(TryParseGuid(u"{8DDD182B-AE09-4CB3-BA9A-DA3A0AA0AC4A"));
  EXPECT_FALSE(TryParseGuid(u"{8DDD182B-AE09-4CB3-BA9A+DA3A0AA0AC4A}"));
  EXPECT_FALSE(TryParseGuid(u"{8DDD182G-AE09-4CB3-BA9A-DA3A0AA0AC4A}"));
  EXPECT_FALSE(TryParseGuid(u""));
  // A non-ASCII character whose low byte is a hex digit must not pass.
  EXPECT_FALSE(TryParseGuid(u"{\u0138DDD182B-AE09-4CB3-BA9A-DA3A0AA0AC4}"));
  try {
    ParseGuid(u"nope");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), u"'nope' is not a valid GUID value");
  }
}

TEST(Guid, ByteLayoutIsLittleEndianFieldsThenData4) {
  uint8_t bytes[16];
  GuidToBytes(ManagerClass, bytes);
  const uint8_t expected[16] = {0x2B, 0x18, 0xDD, 0x8D, 0x09, 0xAE, 0xB3, 0x4C,
                                0xBA, 0x9A, 0xDA, 0x3A, 0x0A, 0xA0, 0xAC, 0x4A};
  EXPECT_EQ(0, std::memcmp(bytes, expected, 16));
  EXPECT_EQ(GuidFromBytes(bytes), ManagerClass);
}

TEST(Guid, OrdersAndHashesByValue) {
  const GUID other = MakeGuid("{8DDD182B-AE09-4CB3-BA9A-DA3A0AA0AC4B}");
  EXPECT_LT(ManagerClass, other);
  std::unordered_set<GUID> set{ManagerClass, other, ManagerClass};
  EXPECT_EQ(set.size(), 2u);
  EXPECT_TRUE(GUID_NULL.IsNull());
  EXPECT_FALSE(ManagerClass.IsNull());
}

struct IAnimal : IUnknown {
  static constexpr IID Iid = MakeGuid("{11111111-0000-0000-0000-000000000001}");
  using BaseInterface = IUnknown;
  virtual int Legs() = 0;
};
struct IDog : IAnimal {
  static constexpr IID Iid = MakeGuid("{11111111-0000-0000-0000-000000000002}");
  using BaseInterface = IAnimal;
  virtual int Barks() = 0;
};
struct IPet : IUnknown {
  static constexpr IID Iid = MakeGuid("{11111111-0000-0000-0000-000000000003}");
  using BaseInterface = IUnknown;
  virtual const char* Name() = 0;
};
struct IUnrelated : IUnknown {
  static constexpr IID Iid = MakeGuid("{11111111-0000-0000-0000-000000000004}");
  using BaseInterface = IUnknown;
};

class Dog : public ComObject<IDog, IPet> {
public:
  explicit Dog(bool* destroyed) : destroyed_(destroyed) {}
  ~Dog() override { *destroyed_ = true; }
  int Legs() override { return 4; }
  int Barks() override { return 2; }
  const char* Name() override { return "Rex"; }

private:
  bool* destroyed_;
};

TEST(ComObject, AnswersEveryInterfaceOfItsChainsAndNothingElse) {
  bool destroyed = false;
  ComPtr<Dog> dog = MakeCom<Dog>(&destroyed);
  EXPECT_EQ(dog->RefCount(), 1u);
  ComPtr<IAnimal> animal = dog.As<IAnimal>();
  ASSERT_TRUE(animal);
  EXPECT_EQ(animal->Legs(), 4);
  ComPtr<IPet> pet = animal.As<IPet>();
  ASSERT_TRUE(pet);
  EXPECT_STREQ(pet->Name(), "Rex");
  EXPECT_FALSE(pet.As<IUnrelated>());
  EXPECT_EQ(ComIdentity(pet), ComIdentity(animal));
  EXPECT_EQ(dog->RefCount(), 3u);
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(dog->QueryInterface(IUnrelated::Iid, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
}

TEST(ComObject, LastReleaseDestroysTheObject) {
  bool destroyed = false;
  const int32_t before = LiveComObjectCount();
  {
    ComPtr<Dog> dog = MakeCom<Dog>(&destroyed);
    EXPECT_EQ(LiveComObjectCount(), before + 1);
    ComPtr<IPet> pet = dog.As<IPet>();
    dog = nullptr;
    EXPECT_FALSE(destroyed);
    ComPtr<IPet> moved = std::move(pet);
    EXPECT_FALSE(pet);
  }
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(LiveComObjectCount(), before);
}

// A provider that knows one service and hands out the dog under it.
class DogProvider : public ComObject<IServiceProvider> {
public:
  explicit DogProvider(ComPtr<Dog> dog) : dog_(std::move(dog)) {}
  HRESULT QueryService(const GUID& service, const IID& iid, void** object) override {
    *object = nullptr;
    if (service != SID_SWebBrowserApp) return E_NOINTERFACE;
    return dog_->QueryInterface(iid, object);
  }

private:
  ComPtr<Dog> dog_;
};

TEST(SiteInterfaces, QueryServiceAnswersTheServiceOrNoneAndKeepsCountsRight) {
  bool destroyed = false;
  {
    ComPtr<Dog> dog = MakeCom<Dog>(&destroyed);
    ComPtr<IServiceProvider> provider = MakeCom<DogProvider>(dog);
    ComPtr<IPet> pet = QueryService<IPet>(provider, SID_SWebBrowserApp);
    ASSERT_TRUE(pet);
    EXPECT_EQ(ComIdentity(pet), ComIdentity(dog));
    EXPECT_FALSE(QueryService<IPet>(provider, IPet::Iid));  // unknown service
    EXPECT_FALSE(QueryService<IUnrelated>(provider, SID_SWebBrowserApp));
    EXPECT_FALSE(QueryService<IPet>(ComPtr<IServiceProvider>(), SID_SWebBrowserApp));
    EXPECT_EQ(dog->RefCount(), 3u);  // dog, the provider's and pet
  }
  EXPECT_TRUE(destroyed);
}

TEST(OleCheck, RaisesWithTheCalleesErrorInformation) {
  SetErrorInfo({u"Manager refused", u"Quillora"});
  try {
    OleCheck(E_FAIL);
    FAIL();
  } catch (const EOleException& e) {
    EXPECT_EQ(e.Message(), u"Manager refused");
    EXPECT_EQ(e.ErrorCode(), E_FAIL);
    EXPECT_EQ(e.Source(), u"Quillora");
  }
  EXPECT_FALSE(TakeErrorInfo());  // taken by the check
  try {
    OleCheck(DISP_E_MEMBERNOTFOUND);
    FAIL();
  } catch (const EOleException&) {
    FAIL() << "no error information was left";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(e.Message(), u"Member not found");
  }
  EXPECT_NO_THROW(OleCheck(S_FALSE));
}

TEST(HResult, StatusValuesHaveTheirPlatformNumbers) {
  EXPECT_EQ(E_UNEXPECTED, -2147418113);
  EXPECT_EQ(static_cast<uint32_t>(DISP_E_MEMBERNOTFOUND), 0x80020003u);
  EXPECT_EQ(static_cast<uint32_t>(CLASS_E_CLASSNOTAVAILABLE), 0x80040111u);
}

}  // namespace
}  // namespace qm::platform
