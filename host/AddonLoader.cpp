#include "host/AddonLoader.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "platform/com/ErrorInfo.h"
#include "platform/registry/BrowserKeys.h"
#include "platform/registry/Registry.h"
#include "platform/rtl/Utf.h"

namespace qm::host {

namespace {

using platform::U8;
using platform::W;

std::string HexStatus(platform::HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

std::string AbsolutePath(const std::string& path) {
  char resolved[4096];
  if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
  return path;
}

// dlopen with the loader's own reason on failure. A library that is not
// there gets a plain sentence: the loader's text for it is obscure.
void* OpenLibrary(const std::string& library) {
  struct stat info {};
  if (::stat(library.c_str(), &info) != 0) {
    throw platform::Exception(W("The library " + library + " does not exist"));
  }
  void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    throw platform::Exception(W("The library " + library + " cannot be loaded: " + (reason ? reason : "?")));
  }
  return handle;
}

void* EntryPoint(void* handle, const std::string& library, const char* name) {
  ::dlerror();
  void* symbol = ::dlsym(handle, name);
  if (symbol == nullptr) {
    throw platform::Exception(W("The library " + library + " has no entry point " + name));
  }
  return symbol;
}

std::string ClassLibrary(const std::u16string& clsidText) {
  platform::TRegistry reg;
  reg.RootKey = platform::TRegRoot::ClassesRoot;
  if (!reg.OpenKey(u"CLSID\\" + clsidText + u"\\" + platform::InprocServerSubkey, false)) return {};
  return U8(reg.ReadString(u"").value_or(u""));
}

TRegisteredClass RegisteredClass(const platform::CLSID& clsid, std::u16string name);

}  // namespace

std::vector<TRegisteredClass> ListHelperObjectClasses() {
  std::vector<TRegisteredClass> classes;
  platform::TRegistry reg;
  reg.RootKey = platform::TRegRoot::LocalMachine;
  if (!reg.OpenKey(platform::BrowserHelperObjectsKey, false)) return classes;
  for (const std::u16string& name : reg.GetKeyNames()) {
    const auto clsid = platform::TryParseGuid(name);
    if (!clsid) continue;  // not a class key: nothing a browser could load
    std::u16string caption;
    platform::TRegistry key;
    key.RootKey = platform::TRegRoot::LocalMachine;
    if (key.OpenKey(std::u16string(platform::BrowserHelperObjectsKey) + u"\\" + name, false)) {
      caption = key.ReadString(u"").value_or(u"");
    }
    classes.push_back(RegisteredClass(*clsid, std::move(caption)));
  }
  return classes;
}

namespace {

// Loads the library of one registered class and takes its factory; raises
// with one line naming what went wrong.
THelperClass LoadClass(const TRegisteredClass& entry, const char* kind) {
  const std::string clsid = platform::GuidToAscii(entry.Clsid);
  if (entry.Library.empty()) {
    throw platform::Exception(W(std::string("The ") + kind + " " + clsid +
                                " names no library (no InprocServer32 entry)"));
  }
  void* handle = OpenLibrary(entry.Library);
  auto getClassObject = reinterpret_cast<platform::DllGetClassObjectFunc>(
      EntryPoint(handle, entry.Library, platform::DllGetClassObjectName));
  void* out = nullptr;
  const platform::HRESULT hr = getClassObject(&entry.Clsid, &platform::IClassFactory::Iid, &out);
  if (platform::Failed(hr) || out == nullptr) {
    throw platform::Exception(W("The library " + entry.Library + " has no class " + clsid + " (" +
                                HexStatus(hr) + ")"));
  }
  return {entry.Clsid, entry.Name, entry.Library,
          platform::ComPtr<platform::IClassFactory>::Adopt(static_cast<platform::IClassFactory*>(out))};
}

TLoadedHelpers LoadClasses(const std::vector<TRegisteredClass>& entries, const char* kind) {
  TLoadedHelpers loaded;
  for (const TRegisteredClass& entry : entries) {
    try {
      loaded.Classes.push_back(LoadClass(entry, kind));
    } catch (const platform::Exception& e) {
      loaded.Problems.push_back(U8(e.Message()));
    }
  }
  return loaded;
}

TRegisteredClass RegisteredClass(const platform::CLSID& clsid, std::u16string name) {
  TRegisteredClass entry;
  entry.Clsid = clsid;
  entry.Name = std::move(name);
  entry.Library = ClassLibrary(platform::GuidToString(clsid));
  struct stat info {};
  entry.LibraryExists = !entry.Library.empty() && ::stat(entry.Library.c_str(), &info) == 0;
  return entry;
}

}  // namespace

TLoadedHelpers LoadHelperObjectClasses() {
  return LoadClasses(ListHelperObjectClasses(), "helper object");
}

std::vector<TRegisteredClass> ListToolbarClasses() {
  std::vector<TRegisteredClass> classes;
  platform::TRegistry reg;
  reg.RootKey = platform::TRegRoot::LocalMachine;
  if (!reg.OpenKey(platform::BrowserToolbarKey, false)) return classes;
  for (const std::u16string& name : reg.GetValueNames()) {
    const auto clsid = platform::TryParseGuid(name);
    if (!clsid) continue;  // not a class: nothing a browser could load
    classes.push_back(RegisteredClass(*clsid, reg.ReadString(name).value_or(u"")));
  }
  return classes;
}

TLoadedHelpers LoadToolbarClasses() {
  return LoadClasses(ListToolbarClasses(), "toolbar");
}

void RegisterLibrary(const std::string& library, bool reg) {
  const std::string path = AbsolutePath(library);
  void* handle = OpenLibrary(path);
  const char* name = reg ? platform::DllRegisterServerName : platform::DllUnregisterServerName;
  auto entry = reinterpret_cast<platform::DllRegisterServerFunc>(EntryPoint(handle, path, name));
  platform::ClearErrorInfo();
  const platform::HRESULT hr = entry();
  if (platform::Failed(hr)) {
    const auto info = platform::TakeErrorInfo();
    std::string why = info ? U8(info->Description) : HexStatus(hr);
    throw platform::Exception(W(std::string(name) + " of " + path + " failed: " + why));
  }
}

}  // namespace qm::host
