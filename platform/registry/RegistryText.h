// The registry's file format and its in-memory tree.
//
// A registry is three roots (classes, local machine, current user), each a
// tree of keys. A key has a default value and named string values; key and
// value names compare ignoring case and keep the case they were written
// with. On disk it is one UTF-8 text file:
//
//   Quillmate registry 1
//   [HKEY_CLASSES_ROOT\CLSID\{C0D5D8B0-D626-4C77-8ED4-CFE4C41BCDA1}]
//   @="Quillmate Helper"
//   "ThreadingModel"="Apartment"
//
// The first line names the format and its version. A section line names a
// key by its full path (its parents exist with it); the value lines below it
// belong to that key, "@" being the default value; a root's own values sit
// under a section line naming the root alone. Texts are quoted with
// \" \\ \n \r \t as escapes. Blank lines and lines starting with ";" or "#"
// are ignored. An empty file is an empty registry.
//
// The reader takes bytes from outside (a file a person may have edited), so
// it checks everything and raises ERegistryException naming the line of the
// first fault; it never reads past the end and never trusts a count.
// Plain values; any thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/Exception.h"

namespace qm::platform {

class ERegistryException : public Exception {
public:
  using Exception::Exception;
};

enum class TRegRoot : uint8_t { ClassesRoot, LocalMachine, CurrentUser };
inline constexpr int RegRootCount = 3;

// "HKEY_CLASSES_ROOT" and so on.
std::u16string_view RegRootName(TRegRoot root);

// The case-insensitive form under which names are looked up.
std::u16string FoldRegistryName(std::u16string_view name);

struct TRegValue {
  std::u16string Name;  // as written; empty for the default value
  std::u16string Data;
};

struct TRegKey {
  std::u16string Name;  // as written
  std::map<std::u16string, TRegValue> Values;                 // by folded name
  std::map<std::u16string, std::unique_ptr<TRegKey>> Subkeys;  // by folded name

  TRegKey* Find(std::u16string_view name) const;
  // The subkey of that name, created (with that spelling) when missing.
  TRegKey& Obtain(std::u16string_view name);
};

class TRegistryTree {
public:
  TRegistryTree();

  TRegKey& Root(TRegRoot root) { return *roots_[static_cast<int>(root)]; }
  const TRegKey& Root(TRegRoot root) const { return *roots_[static_cast<int>(root)]; }

  // The key at path below root ("A\B\C"; "" is the root itself), or null.
  TRegKey* Find(TRegRoot root, std::u16string_view path) const;
  // The key at path, created with its parents when missing. Raises
  // ERegistryException for a malformed path (an empty part).
  TRegKey& Obtain(TRegRoot root, std::u16string_view path);
  // Removes the key at path with everything below it; false when there was
  // none. The roots themselves can't be removed.
  bool Remove(TRegRoot root, std::u16string_view path);

  friend bool operator==(const TRegistryTree& a, const TRegistryTree& b);

private:
  std::unique_ptr<TRegKey> roots_[RegRootCount];
};

// The parts of a key path; raises ERegistryException for an empty part
// (leading and trailing separators are allowed and ignored).
std::vector<std::u16string> SplitRegistryPath(std::u16string_view path);

// Reads the file format; source names the file in messages:
// "<source>, line N: <what is wrong>".
TRegistryTree ParseRegistryText(std::string_view text, std::u16string_view source);
std::string FormatRegistryText(const TRegistryTree& tree);

}  // namespace qm::platform
