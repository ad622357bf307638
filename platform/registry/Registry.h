// The registry: the place where components are registered and where a
// browser finds the helper objects and toolbars it shall load.
//
// It is one text file per user (RegistryText.h has the format), by default
// $XDG_CONFIG_HOME/quillmate/registry (~/.config/quillmate/registry without
// the variable); SetRegistryFile points the whole process elsewhere (the
// host's --registry, tests, the demo).
//
// TRegistry works like the platform's registry object: choose RootKey,
// OpenKey (creating it when asked), then read and write the values of the
// open key. Every call reads the file afresh, so what another process wrote
// is seen. Every change is one transaction on the file: under an exclusive
// lock (FILE.lock, flock) the file is read, changed, written to a temporary
// file beside it, flushed to disk and renamed over it, so a crash leaves the
// old file or the new one and concurrent writers never lose each other's
// changes. A damaged file is never rewritten: every call that meets one
// raises ERegistryException naming the file and the line.
//
// A TRegistry object belongs to one thread; the file may be shared by any
// number of threads and processes.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry/RegistryText.h"

namespace qm::platform {

// The file every TRegistry of the process uses unless told otherwise.
std::string RegistryFile();
// Points the process at another file; empty returns to the default.
void SetRegistryFile(std::string path);

class TRegistry {
public:
  // file: empty for RegistryFile() at construction.
  explicit TRegistry(std::string file = {});

  const std::string& FileName() const noexcept { return file_; }

  TRegRoot RootKey = TRegRoot::ClassesRoot;

  // Opens key (below the open key; from the root when it starts with "\"
  // or no key is open). With canCreate the key and its parents are created
  // when missing; otherwise a missing key answers false. Raises
  // ERegistryException for a damaged file, a malformed path or a failed
  // write.
  bool OpenKey(std::u16string_view key, bool canCreate);
  void CloseKey() noexcept { current_.reset(); }
  // The open key's path below RootKey ("" for the root itself), or none.
  const std::optional<std::u16string>& CurrentPath() const noexcept { return current_; }

  // Values of the open key; name "" is the default value. Writing with no
  // key open, or to a key that was deleted meanwhile, raises
  // ERegistryException.
  void WriteString(std::u16string_view name, std::u16string_view data);
  std::optional<std::u16string> ReadString(std::u16string_view name) const;
  bool ValueExists(std::u16string_view name) const;
  // False when there was no such value (or key).
  bool DeleteValue(std::u16string_view name);
  std::vector<std::u16string> GetValueNames() const;
  std::vector<std::u16string> GetKeyNames() const;

  // Relative to the open key like OpenKey. DeleteKey removes the key with
  // everything below it and answers false when there was none.
  bool KeyExists(std::u16string_view key) const;
  bool DeleteKey(std::u16string_view key);

  // The whole tree as the file holds it now.
  TRegistryTree Snapshot() const;
  // Runs change on the file's tree in one transaction and writes the result
  // (always, also when change left it alone).
  void Update(const std::function<void(TRegistryTree&)>& change);

private:
  std::u16string Resolve(std::u16string_view key) const;
  const TRegKey* OpenedKey(const TRegistryTree& tree) const;

  std::string file_;
  std::optional<std::u16string> current_;
};

}  // namespace qm::platform
