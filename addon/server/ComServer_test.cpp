#include "addon/server/ComServer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "addon/server/QuillmateServer.h"
#include "platform/com/ErrorInfo.h"
#include "platform/registry/BrowserKeys.h"
#include "platform/rtl/Utf.h"

namespace qm::server {
namespace {

namespace fs = std::filesystem;
using platform::IClassFactory;
using platform::IObjectWithSite;
using platform::MakeGuid;
using platform::TRegistry;
using platform::TRegRoot;

// A helper object that does nothing but exist.
class TIdleHelper final : public platform::ComObject<IObjectWithSite> {
public:
  HRESULT SetSite(IUnknown*) override { return platform::S_OK; }
  HRESULT GetSite(const IID&, void** site) override {
    *site = nullptr;
    return platform::E_FAIL;
  }
};

constexpr CLSID TypedClass = MakeGuid("{1B2C3D4E-0000-4000-8000-00000000A001}");
constexpr GUID TestLibId = MakeGuid("{1B2C3D4E-0000-4000-8000-00000000B001}");

class TTestTypedFactory final : public TTypedComObjectFactory {
public:
  explicit TTestTypedFactory(TComServer& server)
      : TTypedComObjectFactory(server, TypedClass, TInstancing::MultiInstance, TThreadingModel::Apartment) {}

protected:
  ComPtr<IUnknown> CreateComObject() override { throw platform::Exception(u"cannot make one"); }
};

class ComServerTest : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/qm-server-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    platform::SetRegistryFile(folder_ + "/registry");
    server_.SetTypeLibrary(
        {TestLibId, u"Quillmate", u"VxQMHelper Library", 1, 0, {{TypedClass, u"Typed", u"Typed Object"}}},
        {[this](const TTypeLibraryInfo&, const std::u16string& file) { steps_ += u"reg:" + file + u";"; },
         [this](const TTypeLibraryInfo&) { steps_ += u"unreg;"; }});
    server_.Add(platform::MakeCom<TVxBrowserHelperObjectFactory>(
        server_, [] { return ComPtr<IObjectWithSite>(platform::MakeCom<TIdleHelper>()); }));
    server_.Add(platform::MakeCom<TTestTypedFactory>(server_));
  }
  void TearDown() override {
    platform::SetRegistryFile("");
    fs::remove_all(folder_);
  }

  ComPtr<IClassFactory> Factory(const CLSID& clsid) {
    void* out = nullptr;
    EXPECT_EQ(server_.GetClassObject(clsid, IClassFactory::Iid, &out), platform::S_OK);
    return ComPtr<IClassFactory>::Adopt(static_cast<IClassFactory*>(out));
  }

  std::string folder_;
  std::u16string steps_;
  TComServer server_{u"Unnamed"};
};

TEST_F(ComServerTest, ClassObjectsAreFoundByClassAndRefuseWhatTheyAreNot) {
  EXPECT_TRUE(Factory(CLASS_VxBrowserHelperObject));
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(server_.GetClassObject(MakeGuid("{1B2C3D4E-0000-4000-8000-00000000C001}"), IClassFactory::Iid, &out), platform::CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  out = reinterpret_cast<void*>(1);
  EXPECT_EQ(server_.GetClassObject(CLASS_VxBrowserHelperObject, IObjectWithSite::Iid, &out),
            platform::E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
}

TEST_F(ComServerTest, ObjectsAndLocksKeepTheLibraryLoaded) {
  EXPECT_EQ(server_.CanUnloadNow(), platform::S_OK);
  ComPtr<IClassFactory> factory = Factory(CLASS_VxBrowserHelperObject);
  void* out = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IObjectWithSite::Iid, &out), platform::S_OK);
  auto helper = ComPtr<IObjectWithSite>::Adopt(static_cast<IObjectWithSite*>(out));
  EXPECT_EQ(server_.CanUnloadNow(), platform::S_FALSE);
  helper = nullptr;
  EXPECT_EQ(server_.CanUnloadNow(), platform::S_OK);
  factory->LockServer(true);
  EXPECT_EQ(server_.CanUnloadNow(), platform::S_FALSE);
  factory->LockServer(false);
  EXPECT_EQ(server_.CanUnloadNow(), platform::S_OK);
}

TEST_F(ComServerTest, CreationRefusesAggregationAndReportsAFailureOfTheClass) {
  ComPtr<IClassFactory> helper = Factory(CLASS_VxBrowserHelperObject);
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(helper->CreateInstance(helper.Get(), IUnknown::Iid, &out), platform::CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
  ComPtr<IClassFactory> typed = Factory(TypedClass);
  platform::ClearErrorInfo();
  EXPECT_EQ(typed->CreateInstance(nullptr, IUnknown::Iid, &out), platform::E_FAIL);
  const auto info = platform::TakeErrorInfo();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Description, u"cannot make one");
}

std::u16string Read(TRegRoot root, const std::u16string& key, const std::u16string& name = u"") {
  TRegistry reg;
  reg.RootKey = root;
  if (!reg.OpenKey(key, false)) return u"<no key>";
  return reg.ReadString(name).value_or(u"<no value>");
}

TEST_F(ComServerTest, RegistrationWritesEveryEntryAndTwiceLeavesTheSameFile) {
  ASSERT_EQ(server_.RegisterServer(u"/opt/q/libquillmate.so"), platform::S_OK) << platform::U8(server_.LastError());
  const std::u16string helper = u"CLSID\\{C0D5D8B0-D626-4C77-8ED4-CFE4C41BCDA1}";
  EXPECT_EQ(Read(TRegRoot::ClassesRoot, helper), u"Quillmate Helper");
  EXPECT_EQ(Read(TRegRoot::ClassesRoot, helper + u"\\InprocServer32"), u"/opt/q/libquillmate.so");
  EXPECT_EQ(Read(TRegRoot::ClassesRoot, helper + u"\\InprocServer32", u"ThreadingModel"), u"Apartment");
  EXPECT_EQ(Read(TRegRoot::ClassesRoot, helper + u"\\ProgID"), u"Quillmate.VxBrowserHelperObject");
  EXPECT_EQ(Read(TRegRoot::ClassesRoot, u"Quillmate.VxBrowserHelperObject"), u"Quillmate Helper");
  EXPECT_EQ(Read(TRegRoot::ClassesRoot, u"Quillmate.VxBrowserHelperObject\\Clsid"),
            u"{C0D5D8B0-D626-4C77-8ED4-CFE4C41BCDA1}");
  EXPECT_EQ(Read(TRegRoot::LocalMachine, std::u16string(platform::BrowserHelperObjectsKey) +
                                             u"\\{C0D5D8B0-D626-4C77-8ED4-CFE4C41BCDA1}"),
            u"Quillmate Helper");
  EXPECT_EQ(Read(TRegRoot::ClassesRoot, helper + u"\\TypeLib"), u"<no key>");
  // The typed factory's name and description come from the type library.
  const std::u16string typed = u"CLSID\\{1B2C3D4E-0000-4000-8000-00000000A001}";
  EXPECT_EQ(Read(TRegRoot::ClassesRoot, typed), u"Typed Object");
  EXPECT_EQ(Read(TRegRoot::ClassesRoot, typed + u"\\ProgID"), u"Quillmate.Typed");
  EXPECT_EQ(Read(TRegRoot::ClassesRoot, typed + u"\\Version"), u"1.0");
  EXPECT_EQ(Read(TRegRoot::ClassesRoot, typed + u"\\TypeLib"), u"{1B2C3D4E-0000-4000-8000-00000000B001}");
  EXPECT_EQ(steps_, u"reg:/opt/q/libquillmate.so;");

  const auto first = TRegistry().Snapshot();
  ASSERT_EQ(server_.RegisterServer(u"/opt/q/libquillmate.so"), platform::S_OK);
  EXPECT_TRUE(TRegistry().Snapshot() == first);
}

TEST_F(ComServerTest, UnregistrationLeavesNoneOfTheEntries) {
  ASSERT_EQ(server_.RegisterServer(u"/opt/q/libquillmate.so"), platform::S_OK);
  ASSERT_EQ(server_.UnregisterServer(), platform::S_OK);
  EXPECT_EQ(steps_, u"reg:/opt/q/libquillmate.so;unreg;");
  TRegistry reg;
  EXPECT_FALSE(reg.KeyExists(u"Quillmate.VxBrowserHelperObject"));
  EXPECT_FALSE(reg.KeyExists(u"Quillmate.Typed"));
  ASSERT_TRUE(reg.OpenKey(u"CLSID", false));
  EXPECT_TRUE(reg.GetKeyNames().empty());
  reg.RootKey = TRegRoot::LocalMachine;
  ASSERT_TRUE(reg.OpenKey(u"\\" + std::u16string(platform::BrowserHelperObjectsKey), false));
  EXPECT_TRUE(reg.GetKeyNames().empty());
  // Unregistering what is not there is no failure.
  EXPECT_EQ(server_.UnregisterServer(), platform::S_OK);
}

TEST_F(ComServerTest, ADamagedRegistryFailsRegistrationWithItsLine) {
  {
    std::FILE* f = std::fopen((folder_ + "/registry").c_str(), "w");
    std::fputs("Quillmate registry 1\n[HKEY_CLASSES_ROOT\\A]\nbroken\n", f);
    std::fclose(f);
  }
  EXPECT_EQ(server_.RegisterServer(u"/x.so"), platform::E_FAIL);
  EXPECT_EQ(platform::U8(server_.LastError()), folder_ + "/registry, line 3: expected '[', '@' or '\"'");
}

}  // namespace
}  // namespace qm::server
