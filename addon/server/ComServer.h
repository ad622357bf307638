// The component server frame: the class manager of one library, its class
// factories and what they write into the registry.
//
// TComServer keeps the library's factories in the order they were added
// (the order of registration), its type library, and the lock count; it
// answers the four exported entry points (QuillmateExports.cpp calls it).
// TComObjectFactory makes the objects of one class and writes the class's
// common entries (class key, in-process server, program identifier); a
// factory of a class that needs more entries overrides UpdateRegistry and
// calls the base first. TTypedComObjectFactory takes its class name and
// description from the type library and also writes the class's Version
// and TypeLib keys; automation factories are typed factories.
//
// The type library itself is data (TTypeLibraryInfo): its identifier, name,
// help text, version and classes. Writing and removing its own registry
// entries is a step the server runs before its factories' (SetTypeLibrary
// installs the steps; without them nothing is written for it).
//
// Ownership: the server holds its factories; a factory knows its server
// without holding it, so the server must outlive every use of its
// factories (a library's server lives until the library is unloaded).
// The factory list is fixed once the server is set up; the entry points
// may then be called from any thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/com/ClassFactory.h"
#include "platform/registry/Registry.h"

namespace qm::server {

using platform::CLSID;
using platform::ComPtr;
using platform::GUID;
using platform::HRESULT;
using platform::IID;
using platform::IUnknown;

enum class TInstancing : uint8_t { Internal, SingleInstance, MultiInstance };
enum class TThreadingModel : uint8_t { Single, Apartment, Free, Both };

// "Apartment" and so on, as the registry spells them.
std::u16string ThreadingModelName(TThreadingModel model);

struct TTypeLibraryClass {
  CLSID Clsid;
  std::u16string Name;         // "IEToolbar"
  std::u16string Description;  // "QMAgent Object"
};

struct TTypeLibraryInfo {
  GUID LibId;
  std::u16string Name;        // the server name, "Quillmate"
  std::u16string HelpString;  // "VxQMHelper Library"
  uint16_t MajorVersion = 1;
  uint16_t MinorVersion = 0;
  std::vector<TTypeLibraryClass> Classes;

  // The class of that identifier, or null.
  const TTypeLibraryClass* FindClass(const CLSID& clsid) const;
  // "1.0"
  std::u16string VersionText() const;
};

// Registering and unregistering a type library's own entries; each is
// given the library's file name. Raising fails the entry point.
struct TTypeLibrarySteps {
  std::function<void(const TTypeLibraryInfo&, const std::u16string& fileName)> Register;
  std::function<void(const TTypeLibraryInfo&)> Unregister;
};

class TComServer;

class TComObjectFactory : public platform::ComObject<platform::IClassFactory> {
public:
  TComObjectFactory(TComServer& server, const CLSID& clsid, std::u16string className,
                    std::u16string description, TInstancing instancing,
                    TThreadingModel threadingModel);

  // --- IClassFactory --- (nothing escapes them)
  HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override;
  HRESULT LockServer(bool lock) override;

  const CLSID& ClassID() const noexcept { return clsid_; }
  const std::u16string& ClassName() const noexcept { return className_; }
  const std::u16string& Description() const noexcept { return description_; }
  TInstancing Instancing() const noexcept { return instancing_; }
  TThreadingModel ThreadingModel() const noexcept { return threadingModel_; }
  // The server name, ".", the class name; empty without a class name.
  std::u16string ProgID() const;
  TComServer& Server() const noexcept { return server_; }

  // Writes (reg true) or removes the class's entries; fileName: the
  // library's full file name. Raises the registry's error when a write
  // fails; a failing delete is ignored.
  virtual void UpdateRegistry(bool reg, const std::u16string& fileName);

protected:
  // Makes one object of the class. May raise.
  virtual ComPtr<IUnknown> CreateComObject() = 0;
  // Typed factories also write and remove Version and TypeLib.
  virtual bool Typed() const noexcept { return false; }

  // The class key, "CLSID\{...}".
  std::u16string ClassKey() const;

private:
  TComServer& server_;
  CLSID clsid_;
  std::u16string className_;
  std::u16string description_;
  TInstancing instancing_;
  TThreadingModel threadingModel_;
};

// A factory whose class name and description come from the server's type
// library (an empty name and description when the library lacks the class).
class TTypedComObjectFactory : public TComObjectFactory {
public:
  TTypedComObjectFactory(TComServer& server, const CLSID& clsid, TInstancing instancing,
                         TThreadingModel threadingModel);

protected:
  bool Typed() const noexcept override { return true; }
};

class TComServer {
public:
  // serverName: the program identifiers' prefix (the type library's name
  // when there is one).
  explicit TComServer(std::u16string serverName);
  TComServer(const TComServer&) = delete;
  TComServer& operator=(const TComServer&) = delete;
  ~TComServer();

  // Set up, before the entry points are used.
  void SetTypeLibrary(TTypeLibraryInfo info, TTypeLibrarySteps steps);
  void Add(ComPtr<TComObjectFactory> factory);

  const std::u16string& ServerName() const noexcept { return serverName_; }
  const TTypeLibraryInfo* TypeLibrary() const noexcept { return typeLibrary_.get(); }
  const std::vector<ComPtr<TComObjectFactory>>& Factories() const noexcept { return factories_; }
  TComObjectFactory* Find(const CLSID& clsid) const;

  // The entry points' work; none of them raises.
  HRESULT GetClassObject(const CLSID& clsid, const IID& iid, void** object) const noexcept;
  HRESULT CanUnloadNow() const noexcept;
  HRESULT RegisterServer(const std::u16string& fileName) noexcept;
  HRESULT UnregisterServer() noexcept;
  // The message of the last registration failure (for whoever reports it).
  const std::u16string& LastError() const noexcept { return lastError_; }

  // Live objects made by this module (its factories not counted) and locks.
  int32_t ObjectCount() const noexcept;
  int32_t LockCount() const noexcept { return locks_.load(); }
  void Lock(bool lock) noexcept { locks_ += lock ? 1 : -1; }

private:
  HRESULT Guarded(const std::function<void()>& work) noexcept;

  std::u16string serverName_;
  std::unique_ptr<TTypeLibraryInfo> typeLibrary_;
  TTypeLibrarySteps typeLibrarySteps_;
  std::vector<ComPtr<TComObjectFactory>> factories_;
  std::atomic<int32_t> locks_{0};
  std::u16string lastError_;
};

// Registry helpers of registration code: CreateRegKey opens or creates key
// below root and sets its value name (empty: the default value) to value,
// raising when the write fails and skipping it when the key can't be
// opened; DeleteRegKey removes key and what is below it, ignoring failures.
void CreateRegKey(platform::TRegRoot root, std::u16string_view key, std::u16string_view name,
                  std::u16string_view value);
void DeleteRegKey(platform::TRegRoot root, std::u16string_view key) noexcept;

// Writes (reg) or removes HKLM's browser helper object key of clsid, with
// description as its default value: what makes a browser load the class
// into every window.
void UpdateHelperObjectKey(bool reg, const CLSID& clsid, std::u16string_view description);

// The full file name of the module (shared library or program) that holds
// this code.
std::u16string ModuleFileName();

}  // namespace qm::server
