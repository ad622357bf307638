// The host's side of component libraries: registering them, and loading
// the helper object classes that the registry names.
//
// Registration loads the library (dlopen) and calls its own
// DllRegisterServer or DllUnregisterServer against the process's registry.
// Loading reads HKLM's helper object key (and, for toolbars, HKLM's
// browser toolbar key): for each class there, the
// library named by the class's InprocServer32 key is loaded and asked for
// the class's factory (DllGetClassObject). A class whose library is
// missing, fails to load, lacks the entry point or refuses the class is
// named in one line (Problems) and left out; the rest load.
//
// Libraries stay loaded for the life of the process, as a browser keeps
// its add-ons. Used on the host's main thread.
#pragma once

#include <string>
#include <vector>

#include "platform/com/ClassFactory.h"

namespace qm::host {

struct THelperClass {
  platform::CLSID Clsid;
  std::u16string Name;     // the helper object key's default value
  std::string Library;     // the library's file name
  platform::ComPtr<platform::IClassFactory> Factory;
};

struct TLoadedHelpers {
  std::vector<THelperClass> Classes;
  std::vector<std::string> Problems;  // one line each
};

// Every helper object class the registry names, loaded.
TLoadedHelpers LoadHelperObjectClasses();

struct TRegisteredClass {
  platform::CLSID Clsid;
  std::u16string Name;
  std::string Library;  // empty when the class has no InprocServer32 entry
  bool LibraryExists = false;
};
// The helper object classes in the registry, without loading anything.
std::vector<TRegisteredClass> ListHelperObjectClasses();

// Every toolbar band class HKLM's browser toolbar key names (its value
// names; the data is the band's caption, in Name), loaded the same way.
TLoadedHelpers LoadToolbarClasses();
std::vector<TRegisteredClass> ListToolbarClasses();

// Loads library and calls its DllRegisterServer (reg) or
// DllUnregisterServer. Raises platform::Exception with one line naming the
// library when it can't be loaded, lacks the entry point, or the entry
// point fails (with the library's own error text when it left one).
void RegisterLibrary(const std::string& library, bool reg);

}  // namespace qm::host
