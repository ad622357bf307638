#include "platform/registry/Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include "platform/rtl/OsError.h"
#include "platform/rtl/Utf.h"

namespace qm::platform {

namespace {

std::mutex fileMutex;
std::string processFile;

// Closes a descriptor (and so drops its lock) on every way out.
class TFd {
public:
  explicit TFd(int fd) : fd_(fd) {}
  ~TFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  TFd(TFd&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const noexcept { return fd_; }

private:
  int fd_;
};

std::string FolderOf(const std::string& path) {
  const size_t cut = path.rfind('/');
  if (cut == std::string::npos) return ".";
  return cut == 0 ? "/" : path.substr(0, cut);
}

void MakeFolders(const std::string& folder) {
  if (folder.empty() || folder == "." || folder == "/") return;
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0) return;
  MakeFolders(FolderOf(folder));
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    RaiseOSError("Cannot create the registry folder " + folder);
  }
}

// Holds the registry's lock file locked for one transaction or one read.
TFd LockRegistry(const std::string& file, bool exclusive) {
  MakeFolders(FolderOf(file));
  const std::string lockName = file + ".lock";
  TFd fd(::open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (fd.Get() < 0) RaiseOSError("Cannot open the registry lock " + lockName);
  while (::flock(fd.Get(), exclusive ? LOCK_EX : LOCK_SH) != 0) {
    if (errno != EINTR) RaiseOSError("Cannot lock the registry " + file);
  }
  return fd;
}

TRegistryTree ReadTree(const std::string& file) {
  TFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0) {
    if (errno == ENOENT) return TRegistryTree();
    RaiseOSError("Cannot read the registry " + file);
  }
  std::string bytes;
  char buffer[16384];
  while (true) {
    const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      RaiseOSError("Cannot read the registry " + file);
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  return ParseRegistryText(bytes, Utf8ToUtf16(file));
}

void WriteAll(int fd, const std::string& bytes, const std::string& name) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      RaiseOSError("Cannot write " + name);
    }
    done += static_cast<size_t>(put);
  }
}

// Temporary file, flush, rename over the old one, flush the folder.
void WriteTree(const std::string& file, const TRegistryTree& tree) {
  const std::string temp = file + ".tmp";
  {
    TFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (fd.Get() < 0) RaiseOSError("Cannot write " + temp);
    WriteAll(fd.Get(), FormatRegistryText(tree), temp);
    if (::fsync(fd.Get()) != 0) RaiseOSError("Cannot flush " + temp);
  }
  if (::rename(temp.c_str(), file.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    RaiseOSError("Cannot replace the registry " + file, error);
  }
  TFd folder(::open(FolderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Get() >= 0) ::fsync(folder.Get());  // best effort: some file systems refuse
}

std::u16string JoinPath(std::u16string_view a, std::u16string_view b) {
  std::u16string out(a);
  if (!out.empty() && !b.empty()) out += u'\\';
  out += b;
  return out;
}

}  // namespace

std::string RegistryFile() {
  {
    std::lock_guard lock(fileMutex);
    if (!processFile.empty()) return processFile;
  }
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string folder;
  if (config != nullptr && config[0] == '/') {
    folder = config;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::string(home != nullptr ? home : ".") + "/.config";
  }
  return folder + "/quillmate/registry";
}

void SetRegistryFile(std::string path) {
  std::lock_guard lock(fileMutex);
  processFile = std::move(path);
}

TRegistry::TRegistry(std::string file) : file_(file.empty() ? RegistryFile() : std::move(file)) {}

std::u16string TRegistry::Resolve(std::u16string_view key) const {
  if (!key.empty() && key.front() == u'\\') return std::u16string(key.substr(1));
  if (!current_) return std::u16string(key);
  return JoinPath(*current_, key);
}

TRegistryTree TRegistry::Snapshot() const {
  TFd lock = LockRegistry(file_, false);
  return ReadTree(file_);
}

void TRegistry::Update(const std::function<void(TRegistryTree&)>& change) {
  TFd lock = LockRegistry(file_, true);
  TRegistryTree tree = ReadTree(file_);
  change(tree);
  WriteTree(file_, tree);
}

bool TRegistry::OpenKey(std::u16string_view key, bool canCreate) {
  std::u16string path = Resolve(key);
  SplitRegistryPath(path);  // a malformed path raises before anything is written
  if (canCreate) {
    bool exists = false;
    {
      const TRegistryTree tree = Snapshot();
      exists = tree.Find(RootKey, path) != nullptr;
    }
    if (!exists) Update([&](TRegistryTree& tree) { tree.Obtain(RootKey, path); });
  } else if (Snapshot().Find(RootKey, path) == nullptr) {
    return false;
  }
  current_ = std::move(path);
  return true;
}

const TRegKey* TRegistry::OpenedKey(const TRegistryTree& tree) const {
  return current_ ? tree.Find(RootKey, *current_) : nullptr;
}

void TRegistry::WriteString(std::u16string_view name, std::u16string_view data) {
  if (!current_) throw ERegistryException(u"Failed to set data for '" + std::u16string(name) + u"': no key is open");
  Update([&](TRegistryTree& tree) {
    TRegKey* key = tree.Find(RootKey, *current_);
    if (key == nullptr) {
      throw ERegistryException(u"Failed to set data for '" + std::u16string(name) +
                               u"': the key " + *current_ + u" no longer exists");
    }
    key->Values[FoldRegistryName(name)] = TRegValue{std::u16string(name), std::u16string(data)};
  });
}

std::optional<std::u16string> TRegistry::ReadString(std::u16string_view name) const {
  const TRegistryTree tree = Snapshot();
  const TRegKey* key = OpenedKey(tree);
  if (key == nullptr) return std::nullopt;
  const auto found = key->Values.find(FoldRegistryName(name));
  if (found == key->Values.end()) return std::nullopt;
  return found->second.Data;
}

bool TRegistry::ValueExists(std::u16string_view name) const { return ReadString(name).has_value(); }

bool TRegistry::DeleteValue(std::u16string_view name) {
  if (!current_) return false;
  bool removed = false;
  Update([&](TRegistryTree& tree) {
    if (TRegKey* key = tree.Find(RootKey, *current_)) removed = key->Values.erase(FoldRegistryName(name)) != 0;
  });
  return removed;
}

std::vector<std::u16string> TRegistry::GetValueNames() const {
  const TRegistryTree tree = Snapshot();
  std::vector<std::u16string> names;
  if (const TRegKey* key = OpenedKey(tree)) {
    for (const auto& [folded, value] : key->Values) names.push_back(value.Name);
  }
  return names;
}

std::vector<std::u16string> TRegistry::GetKeyNames() const {
  const TRegistryTree tree = Snapshot();
  std::vector<std::u16string> names;
  if (const TRegKey* key = OpenedKey(tree)) {
    for (const auto& [folded, sub] : key->Subkeys) names.push_back(sub->Name);
  }
  return names;
}

bool TRegistry::KeyExists(std::u16string_view key) const {
  return Snapshot().Find(RootKey, Resolve(key)) != nullptr;
}

bool TRegistry::DeleteKey(std::u16string_view key) {
  const std::u16string path = Resolve(key);
  if (SplitRegistryPath(path).empty()) return false;
  if (!KeyExists(u"\\" + path)) return false;  // nothing to do: leave the file untouched
  bool removed = false;
  Update([&](TRegistryTree& tree) { removed = tree.Remove(RootKey, path); });
  return removed;
}

}  // namespace qm::platform
