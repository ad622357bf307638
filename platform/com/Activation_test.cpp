// Making objects by class identifier: what a caller hears when the registry
// or the library named there is not what it should be. (The working road,
// through the add-on's real library, is tested with that library.)
#include "platform/com/Activation.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/com/ErrorInfo.h"
#include "platform/com/OleException.h"
#include "platform/registry/Registry.h"
#include "platform/rtl/Utf.h"

namespace qm::platform {
namespace {

namespace fs = std::filesystem;

constexpr CLSID SomeClass = MakeGuid("{6A1D2C3B-4E5F-4071-8293-A4B5C6D7E8F9}");
constexpr char16_t SomeClassKey[] = u"CLSID\\{6A1D2C3B-4E5F-4071-8293-A4B5C6D7E8F9}";

class Activation : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/qm-activation-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    SetRegistryFile(folder_ + "/registry");
    ClearErrorInfo();
  }
  void TearDown() override {
    SetRegistryFile("");
    fs::remove_all(folder_);
  }

  // Registers SomeClass as served by library (the default value of its
  // InprocServer32 key, as registration writes it).
  static void RegisterSomeClass(const std::string& library) {
    TRegistry reg;
    reg.RootKey = TRegRoot::ClassesRoot;
    reg.OpenKey(std::u16string(SomeClassKey) + u"\\InprocServer32", true);
    reg.WriteString(u"", W(library));
    reg.WriteString(u"ThreadingModel", u"Apartment");
  }

  // The answer of making SomeClass as IUnknown; the out pointer must be
  // null whenever the call fails.
  static HRESULT Make() {
    void* object = reinterpret_cast<void*>(0x1);  // must be overwritten
    const HRESULT hr =
        CoCreateInstance(SomeClass, nullptr, CLSCTX_INPROC_SERVER, IUnknown::Iid, &object);
    EXPECT_EQ(object, nullptr);
    return hr;
  }

  static std::string Described() {
    const auto info = TakeErrorInfo();
    return info ? U8(info->Description) : std::string("<none>");
  }

  std::string folder_;
};

TEST_F(Activation, AClassTheRegistryDoesNotNameIsNotRegistered) {
  EXPECT_EQ(Make(), REGDB_E_CLASSNOTREG);
  EXPECT_NE(Described().find("{6A1D2C3B-4E5F-4071-8293-A4B5C6D7E8F9} is not registered"),
            std::string::npos);

  // A class key without a server entry, or with an empty one, is no better.
  {
    TRegistry reg;
    reg.RootKey = TRegRoot::ClassesRoot;
    reg.OpenKey(SomeClassKey, true);
    reg.WriteString(u"", u"Some class");
  }
  EXPECT_EQ(Make(), REGDB_E_CLASSNOTREG);
  RegisterSomeClass("");
  EXPECT_EQ(Make(), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(InprocServerLibrary(SomeClass), "");
}

TEST_F(Activation, AMissingLibraryIsNotFound) {
  RegisterSomeClass(folder_ + "/libgone.so");
  EXPECT_EQ(InprocServerLibrary(SomeClass), folder_ + "/libgone.so");
  EXPECT_EQ(Make(), CO_E_DLLNOTFOUND);
  EXPECT_NE(Described().find("libgone.so does not exist"), std::string::npos);
  // A bare name is searched for on the library path, and not found there.
  RegisterSomeClass("libquillmate-no-such-library.so");
  EXPECT_EQ(Make(), CO_E_DLLNOTFOUND);
}

TEST_F(Activation, AFileThatIsNoLibraryIsAnErrorInTheLibrary) {
  const std::string file = folder_ + "/libtext.so";
  std::ofstream(file) << "not a shared object\n";
  RegisterSomeClass(file);
  EXPECT_EQ(Make(), CO_E_ERRORINDLL);
  EXPECT_NE(Described().find("cannot be loaded"), std::string::npos);
}

TEST_F(Activation, ALibraryWithoutTheEntryPointIsAnErrorInTheLibrary) {
  // The platform's own library loads fine but serves no classes.
  Dl_info self{};
  ASSERT_NE(::dladdr(reinterpret_cast<void*>(&InprocServerLibrary), &self), 0);
  ASSERT_NE(self.dli_fname, nullptr);
  RegisterSomeClass(fs::canonical(self.dli_fname).string());
  EXPECT_EQ(Make(), CO_E_ERRORINDLL);
  EXPECT_NE(Described().find("has no entry point DllGetClassObject"), std::string::npos);
  // Asked again, the kept library gives the same answer.
  EXPECT_EQ(Make(), CO_E_ERRORINDLL);
}

TEST_F(Activation, OnlyInProcessServersAreFound) {
  RegisterSomeClass(folder_ + "/libgone.so");
  void* object = nullptr;
  EXPECT_EQ(CoCreateInstance(SomeClass, nullptr, CLSCTX_LOCAL_SERVER, IUnknown::Iid, &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
  // Any context that includes them reaches the library (missing here).
  EXPECT_EQ(CoCreateInstance(SomeClass, nullptr, CLSCTX_ALL, IUnknown::Iid, &object),
            CO_E_DLLNOTFOUND);
  EXPECT_EQ(CoCreateInstance(SomeClass, nullptr, CLSCTX_ALL, IUnknown::Iid, nullptr), E_POINTER);
  EXPECT_EQ(CoGetClassObject(SomeClass, CLSCTX_ALL, IClassFactory::Iid, nullptr), E_POINTER);
}

TEST_F(Activation, ADamagedRegistryIsAReadFailureNotAnException) {
  std::ofstream(folder_ + "/registry") << "Quillmate registry 1\n[HKEY_CLASSES_ROOT\\CLSID\n";
  EXPECT_EQ(Make(), REGDB_E_READREGDB);
  EXPECT_NE(Described().find("registry"), std::string::npos);
  EXPECT_EQ(InprocServerLibrary(SomeClass), "");
}

TEST_F(Activation, TheTemplatedFormEmptiesItsResultAndFailuresReadAsTheirNames) {
  ComPtr<IUnknown> made = MakeCom<ComObject<IUnknown>>();
  EXPECT_EQ(CoCreateInstance(SomeClass, made), REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(made) << "a failure leaves no object behind";
  // OleCheck takes the description left behind.
  try {
    OleCheck(CoCreateInstance(SomeClass, made));
    FAIL() << "no exception";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), REGDB_E_CLASSNOTREG);
    EXPECT_NE(U8(e.Message()).find("is not registered"), std::string::npos);
  }
  EXPECT_EQ(StatusText(CO_E_DLLNOTFOUND), u"DLL for class not found");
  EXPECT_EQ(StatusText(REGDB_E_CLASSNOTREG), u"Class not registered");
}

}  // namespace
}  // namespace qm::platform
