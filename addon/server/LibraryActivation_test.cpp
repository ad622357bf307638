// The add-on's classes made by class identifier alone, as the toolbar makes
// its automation object and a browser makes its bands: the real library,
// registered into a private registry file, is found and loaded through
// the registry.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/com/Activation.h"
#include "platform/com/BandInterfaces.h"
#include "platform/com/Dispatch.h"
#include "platform/com/ErrorInfo.h"
#include "platform/registry/Registry.h"

namespace qm::server {
namespace {

namespace fs = std::filesystem;
using namespace platform;

constexpr CLSID ToolbarClass = MakeGuid("{B9F7135C-B512-4CC3-9316-FA0044083914}");
constexpr CLSID AgentClass = MakeGuid("{19EF1EC1-0BB8-47F3-9904-806790DB13E2}");
constexpr IID IID_IQMAgent = MakeGuid("{F824CFBD-0EE4-4AAF-81AF-1A348508A380}");

class RegisteredLibrary : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/qm-activation-lib-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    SetRegistryFile(folder_ + "/registry");
    // Registration needs the library loaded once; it stays, as a browser
    // keeps its add-ons.
    void* handle = ::dlopen(QM_QUILLMATE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << ::dlerror();
    unregister_ =
        reinterpret_cast<DllUnregisterServerFunc>(::dlsym(handle, DllUnregisterServerName));
    const auto reg =
        reinterpret_cast<DllRegisterServerFunc>(::dlsym(handle, DllRegisterServerName));
    ASSERT_TRUE(reg && unregister_);
    ASSERT_EQ(reg(), S_OK);
  }
  void TearDown() override {
    SetRegistryFile("");
    fs::remove_all(folder_);
  }

  // The file whose code an object runs: the library that made it.
  static std::string CodeOf(IUnknown* object) {
    Dl_info info{};
    void* vtable = *reinterpret_cast<void**>(object);
    if (::dladdr(*reinterpret_cast<void**>(vtable), &info) == 0 || info.dli_fname == nullptr)
      return {};
    return fs::canonical(info.dli_fname).string();
  }

  std::string folder_;
  DllUnregisterServerFunc unregister_ = nullptr;
};

TEST_F(RegisteredLibrary, TheAutomationObjectComesFromTheLibraryTheRegistryNames) {
  EXPECT_EQ(InprocServerLibrary(AgentClass), fs::canonical(QM_QUILLMATE_LIBRARY).string());
  ComPtr<IDispatch> agent;
  ASSERT_EQ(CoCreateInstance(AgentClass, agent), S_OK);
  ASSERT_TRUE(agent);
  EXPECT_EQ(CodeOf(agent.Get()), fs::canonical(QM_QUILLMATE_LIBRARY).string());
  Variant count;
  ASSERT_EQ(agent->Invoke(202, DISPATCH_PROPERTYGET, {}, &count), S_OK);
  EXPECT_EQ(count.AsInt32(), 10);

  void* dual = nullptr;
  ASSERT_EQ(CoCreateInstance(AgentClass, nullptr, CLSCTX_INPROC_SERVER, IID_IQMAgent, &dual), S_OK);
  ASSERT_NE(dual, nullptr);
  static_cast<IUnknown*>(dual)->Release();
}

TEST_F(RegisteredLibrary, TheToolbarBandIsMadeTheSameWay) {
  ComPtr<IDeskBand> band;
  ASSERT_EQ(CoCreateInstance(ToolbarClass, band), S_OK);
  DESKBANDINFO info;
  info.Mask = DBIM_TITLE;
  ASSERT_EQ(band->GetBandInfo(0, 0, info), S_OK);
  EXPECT_EQ(std::u16string(info.Title), u"Quillora");
  // Its factory, asked for directly, is the library's.
  ComPtr<IClassFactory> factory;
  void* out = nullptr;
  ASSERT_EQ(CoGetClassObject(ToolbarClass, CLSCTX_ALL, IClassFactory::Iid, &out), S_OK);
  factory = ComPtr<IClassFactory>::Adopt(static_cast<IClassFactory*>(out));
  EXPECT_EQ(CodeOf(factory.Get()), fs::canonical(QM_QUILLMATE_LIBRARY).string());
}

TEST_F(RegisteredLibrary, WhatTheClassOrTheLibraryRefusesComesBackAsTheirAnswer) {
  void* object = nullptr;
  // The automation object is no band.
  EXPECT_EQ(CoCreateInstance(AgentClass, nullptr, CLSCTX_INPROC_SERVER, IDeskBand::Iid, &object),
            E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  // Nothing here aggregates.
  ComPtr<IDispatch> outer;
  ASSERT_EQ(CoCreateInstance(AgentClass, outer), S_OK);
  EXPECT_EQ(CoCreateInstance(AgentClass, outer.Get(), CLSCTX_INPROC_SERVER, IUnknown::Iid, &object),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  // A class the registry gives to the library that the library doesn't serve.
  const CLSID stranger = MakeGuid("{0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0}");
  {
    TRegistry reg;
    reg.RootKey = TRegRoot::ClassesRoot;
    reg.OpenKey(u"CLSID\\" + GuidToString(stranger) + u"\\InprocServer32", true);
    reg.WriteString(u"", fs::canonical(QM_QUILLMATE_LIBRARY).u16string());
  }
  EXPECT_EQ(CoCreateInstance(stranger, nullptr, CLSCTX_INPROC_SERVER, IUnknown::Iid, &object),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
}

TEST_F(RegisteredLibrary, AfterUnregistrationTheClassIsNoLongerFound) {
  ASSERT_EQ(unregister_(), S_OK);
  ComPtr<IDispatch> agent;
  EXPECT_EQ(CoCreateInstance(AgentClass, agent), REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(agent);
  ClearErrorInfo();
}

}  // namespace
}  // namespace qm::server
