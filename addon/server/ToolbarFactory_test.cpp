// The toolbar's and the automation object's registration, through the real
// library's entry points (loaded as a browser host loads it) and through a
// server of the tests' own for the cases the library never takes.
#include "addon/server/ToolbarFactory.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/com/BandInterfaces.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/Dispatch.h"
#include "platform/registry/BrowserKeys.h"
#include "platform/registry/Registry.h"
#include "platform/rtl/Utf.h"

namespace qm::server {
namespace {

namespace fs = std::filesystem;
using platform::TRegistry;
using platform::TRegRoot;

constexpr char16_t Toolbar[] = u"{B9F7135C-B512-4CC3-9316-FA0044083914}";
constexpr char16_t Agent[] = u"{19EF1EC1-0BB8-47F3-9904-806790DB13E2}";
constexpr char16_t LibId[] = u"{1078B53A-8801-4988-93C3-A331EF1D3181}";
constexpr char16_t DeskBand[] = u"{00021492-0000-0000-C000-000000000046}";
constexpr platform::IID IID_IQMAgent = platform::MakeGuid("{F824CFBD-0EE4-4AAF-81AF-1A348508A380}");

std::u16string Read(TRegRoot root, const std::u16string& key, const std::u16string& name = u"") {
  TRegistry reg;
  reg.RootKey = root;
  if (!reg.OpenKey(key, false)) return u"<no key>";
  return reg.ReadString(name).value_or(u"<no value>");
}

bool Exists(TRegRoot root, const std::u16string& key) {
  TRegistry reg;
  reg.RootKey = root;
  return reg.KeyExists(key);
}

// A private registry file for each test.
class RegistryFolder : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/qm-toolbar-reg-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    platform::SetRegistryFile(folder_ + "/registry");
  }
  void TearDown() override {
    platform::SetRegistryFile("");
    fs::remove_all(folder_);
  }
  std::string folder_;
};

// The library as the browser host loads it.
class QuillmateLibrary : public RegistryFolder {
protected:
  void SetUp() override {
    RegistryFolder::SetUp();
    handle_ = ::dlopen(QM_QUILLMATE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << ::dlerror();
    registerServer_ = Entry<platform::DllRegisterServerFunc>(platform::DllRegisterServerName);
    unregisterServer_ = Entry<platform::DllUnregisterServerFunc>(platform::DllUnregisterServerName);
    getClassObject_ = Entry<platform::DllGetClassObjectFunc>(platform::DllGetClassObjectName);
  }
  // The library stays loaded, as a browser keeps its add-ons: its server
  // lives until the process ends.
  template <class F>
  F Entry(const char* name) {
    return reinterpret_cast<F>(::dlsym(handle_, name));
  }
  std::u16string File() const {
    return platform::Utf8ToUtf16(fs::canonical(QM_QUILLMATE_LIBRARY).string());
  }
  // A new object of the class through its factory, as interface I.
  template <class I>
  platform::ComPtr<I> Create(const platform::CLSID& clsid) {
    void* out = nullptr;
    if (getClassObject_(&clsid, &platform::IClassFactory::Iid, &out) != platform::S_OK) return {};
    auto factory = platform::ComPtr<platform::IClassFactory>::Adopt(
        static_cast<platform::IClassFactory*>(out));
    void* object = nullptr;
    if (factory->CreateInstance(nullptr, I::Iid, &object) != platform::S_OK) return {};
    return platform::ComPtr<I>::Adopt(static_cast<I*>(object));
  }

  void* handle_ = nullptr;
  platform::DllRegisterServerFunc registerServer_ = nullptr;
  platform::DllUnregisterServerFunc unregisterServer_ = nullptr;
  platform::DllGetClassObjectFunc getClassObject_ = nullptr;
};

TEST_F(QuillmateLibrary, RegistrationMakesTheBrowserOfferTheQuilloraBar) {
  ASSERT_EQ(registerServer_(), platform::S_OK);
  const std::u16string k = std::u16string(u"CLSID\\") + Toolbar;
  const auto hkcr = TRegRoot::ClassesRoot;
  EXPECT_EQ(Read(hkcr, k), u"Quillora Bar");
  EXPECT_EQ(Read(hkcr, k + u"\\InprocServer32"), File());
  EXPECT_EQ(Read(hkcr, k + u"\\InProcServer32", u"ThreadingModel"), u"Apartment");
  EXPECT_EQ(Read(hkcr, k + u"\\ProgID"), u"Quillmate.IEToolbar");
  EXPECT_EQ(Read(hkcr, k + u"\\Version"), u"1.0");
  EXPECT_EQ(Read(hkcr, k + u"\\TypeLib"), LibId);
  EXPECT_TRUE(Exists(hkcr, k + u"\\Implemented Categories\\" + DeskBand));
  EXPECT_EQ(Read(hkcr, u"Quillmate.IEToolbar"), u"IEToolbar");
  EXPECT_EQ(Read(hkcr, u"Quillmate.IEToolbar\\Clsid"), Toolbar);
  EXPECT_EQ(Read(TRegRoot::LocalMachine, u"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar", Toolbar),
            u"Quillora Bar");

  const std::u16string a = std::u16string(u"CLSID\\") + Agent;
  EXPECT_EQ(Read(hkcr, a), u"QMAgent Object");
  EXPECT_EQ(Read(hkcr, a + u"\\ProgID"), u"Quillmate.QMAgent");
  EXPECT_EQ(Read(hkcr, a + u"\\InprocServer32", u"ThreadingModel"), u"Apartment");
  EXPECT_EQ(Read(hkcr, a + u"\\TypeLib"), LibId);
  EXPECT_EQ(Read(hkcr, u"Quillmate.QMAgent"), u"QMAgent Object");

  const std::u16string lib = std::u16string(u"TypeLib\\") + LibId + u"\\1.0";
  EXPECT_EQ(Read(hkcr, lib), u"VxQMHelper Library");
  EXPECT_EQ(Read(hkcr, lib + u"\\0\\linux"), File());
  const std::u16string iface = u"Interface\\{F824CFBD-0EE4-4AAF-81AF-1A348508A380}";
  EXPECT_EQ(Read(hkcr, iface), u"IQMAgent");
  EXPECT_EQ(Read(hkcr, iface + u"\\TypeLib"), LibId);
  EXPECT_EQ(Read(hkcr, iface + u"\\ProxyStubClsid32"), u"{00020424-0000-0000-C000-000000000046}");
  EXPECT_EQ(Read(hkcr, u"Interface\\{94B5CA1D-8EBB-4FE2-BE73-D52418D3554B}"), u"IIEToolbar");

  const auto first = TRegistry().Snapshot();
  ASSERT_EQ(registerServer_(), platform::S_OK);
  EXPECT_TRUE(TRegistry().Snapshot() == first) << "registering twice leaves the same entries";
}

TEST_F(QuillmateLibrary, UnregistrationRemovesEveryEntryOfTheToolbarAndTheAutomationObject) {
  ASSERT_EQ(registerServer_(), platform::S_OK);
  ASSERT_EQ(unregisterServer_(), platform::S_OK);
  const auto hkcr = TRegRoot::ClassesRoot;
  for (const std::u16string& key :
       {std::u16string(u"CLSID\\") + Toolbar, std::u16string(u"CLSID\\") + Agent,
        std::u16string(u"Quillmate.IEToolbar"), std::u16string(u"Quillmate.QMAgent"),
        std::u16string(u"TypeLib\\") + LibId,
        std::u16string(u"Interface\\{F824CFBD-0EE4-4AAF-81AF-1A348508A380}"),
        std::u16string(u"Interface\\{94B5CA1D-8EBB-4FE2-BE73-D52418D3554B}")}) {
    EXPECT_FALSE(Exists(hkcr, key)) << platform::U8(key);
  }
  EXPECT_EQ(Read(TRegRoot::LocalMachine, u"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar", Toolbar),
            u"<no value>");
  EXPECT_EQ(unregisterServer_(), platform::S_OK) << "again: nothing left to remove is no failure";
}

TEST_F(QuillmateLibrary, TheFactoriesMakeTheToolbarBandAndTheAutomationObject) {
  const auto band = Create<platform::IDeskBand>(
      platform::MakeGuid("{B9F7135C-B512-4CC3-9316-FA0044083914}"));
  ASSERT_TRUE(band);
  platform::DESKBANDINFO info;
  info.Mask = platform::DBIM_TITLE;
  ASSERT_EQ(band->GetBandInfo(0, 0, info), platform::S_OK);
  EXPECT_EQ(std::u16string(info.Title), u"Quillora");
  const auto agent = Create<platform::IDispatch>(
      platform::MakeGuid("{19EF1EC1-0BB8-47F3-9904-806790DB13E2}"));
  ASSERT_TRUE(agent);
  void* dual = nullptr;
  ASSERT_EQ(agent->QueryInterface(IID_IQMAgent, &dual), platform::S_OK);
  static_cast<platform::IUnknown*>(dual)->Release();
  platform::Variant count;
  ASSERT_EQ(agent->Invoke(202, platform::DISPATCH_PROPERTYGET, {}, &count), platform::S_OK);
  EXPECT_EQ(count.AsInt32(), 10);
}

// A band of another category clears the browser's cached band lists.
class TOtherBandFactory final : public TDriftbookToolbarFactory {
public:
  explicit TOtherBandFactory(TComServer& server)
      : TDriftbookToolbarFactory(server, platform::MakeGuid("{1B2C3D4E-0000-4000-8000-00000000C001}"),
                                 u"Other Bar", CATID_CommBand, false,
                                 [] { return ComPtr<IUnknown>(); }) {}
};

TEST_F(RegistryFolder, ABandOfAnotherCategoryDropsTheCachedBandListsAndNoToolbarValue) {
  const std::u16string cached =
      u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Discardable\\PostSetup\\"
      u"Component Categories\\";
  const std::u16string info = cached + u"{00021493-0000-0000-C000-000000000046}\\Enum";
  const std::u16string comm = cached + u"{00021494-0000-0000-C000-000000000046}\\Enum";
  {
    TRegistry reg;
    reg.RootKey = TRegRoot::CurrentUser;
    reg.OpenKey(info, true);
    reg.WriteString(u"Implementing", u"stale");
    reg.OpenKey(u"\\" + comm, true);
  }
  TComServer server(u"Quillmate");
  server.Add(platform::MakeCom<TOtherBandFactory>(server));
  ASSERT_EQ(server.RegisterServer(u"/x/lib.so"), platform::S_OK);
  EXPECT_FALSE(Exists(TRegRoot::CurrentUser, info));
  EXPECT_FALSE(Exists(TRegRoot::CurrentUser, comm));
  const std::u16string k = u"CLSID\\{1B2C3D4E-0000-4000-8000-00000000C001}";
  EXPECT_EQ(Read(TRegRoot::ClassesRoot, k), u"Other Bar");
  EXPECT_TRUE(Exists(TRegRoot::ClassesRoot,
                     k + u"\\Implemented Categories\\{00021494-0000-0000-C000-000000000046}"));
  EXPECT_FALSE(Exists(TRegRoot::LocalMachine, u"Software\\Microsoft\\Internet Explorer\\Toolbar"));
  ASSERT_EQ(server.UnregisterServer(), platform::S_OK);
  EXPECT_FALSE(Exists(TRegRoot::ClassesRoot, k));
}

}  // namespace
}  // namespace qm::server
