#include "platform/registry/RegistryText.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include "platform/rtl/Utf.h"

namespace qm::platform {

namespace {

constexpr std::string_view Header = "Quillmate registry 1";
// A registry file is a few kilobytes; anything near this is not one.
constexpr size_t MaxFileBytes = 16u << 20;
constexpr int MaxDepth = 64;

[[noreturn]] void Fault(std::u16string_view source, size_t line, std::u16string_view what) {
  std::u16string message(source);
  message += u", line " + Utf8ToUtf16(std::to_string(line)) + u": ";
  message += what;
  throw ERegistryException(message);
}

void AppendQuoted(std::string& out, std::u16string_view text) {
  out += '"';
  for (char c : Utf16ToUtf8(text)) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out += c;
    }
  }
  out += '"';
}

void FormatKey(std::string& out, const TRegKey& key, const std::u16string& path, int depth) {
  // A root's section line is needed only for values of its own: the key
  // lines below it name their root anyway. Leaving it out when the root has
  // values would lose them on the next write.
  if (depth > 0 || !key.Values.empty()) {
    out += "\n[" + Utf16ToUtf8(path) + "]\n";
    for (const auto& [folded, value] : key.Values) {
      if (value.Name.empty()) {
        out += "@";
      } else {
        AppendQuoted(out, value.Name);
      }
      out += '=';
      AppendQuoted(out, value.Data);
      out += '\n';
    }
  }
  for (const auto& [folded, sub] : key.Subkeys) {
    FormatKey(out, *sub, path + u"\\" + sub->Name, depth + 1);
  }
}

// The reader's state: one line at a time, the key the values go to.
class TRegistryReader {
public:
  TRegistryReader(std::string_view text, std::u16string_view source)
      : text_(text), source_(source) {}

  TRegistryTree Read() {
    if (text_.size() > MaxFileBytes) Fault(source_, 1, u"the file is too large to be a registry");
    std::string_view line;
    bool header = false;
    while (NextLine(line)) {
      if (!header) {
        if (line.empty() && pos_ >= text_.size() && lineNo_ == 1) break;  // empty file
        if (line != Header) Fault(source_, lineNo_, u"not a Quillmate registry file");
        header = true;
        continue;
      }
      if (line.empty() || line[0] == ';' || line[0] == '#') continue;
      if (line[0] == '[') {
        Section(line);
      } else {
        Value(line);
      }
    }
    return std::move(tree_);
  }

private:
  bool NextLine(std::string_view& line) {
    if (pos_ >= text_.size() && lineNo_ > 0) return false;
    const size_t end = text_.find('\n', pos_);
    const size_t stop = end == std::string_view::npos ? text_.size() : end;
    line = text_.substr(pos_, stop - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = stop + 1;
    ++lineNo_;
    return true;
  }

  std::u16string Text(std::string_view bytes) {
    try {
      return Utf8ToUtf16Strict(bytes);
    } catch (const Exception& e) {
      Fault(source_, lineNo_, e.Message());
    }
  }

  void Section(std::string_view line) {
    if (line.size() < 2 || line.back() != ']') Fault(source_, lineNo_, u"a key line must end with ']'");
    const std::u16string path = Text(line.substr(1, line.size() - 2));
    const size_t cut = path.find(u'\\');
    const std::u16string rootName = path.substr(0, cut);
    int root = -1;
    for (int r = 0; r < RegRootCount; ++r) {
      if (FoldRegistryName(rootName) == FoldRegistryName(RegRootName(static_cast<TRegRoot>(r)))) root = r;
    }
    if (root < 0) Fault(source_, lineNo_, u"unknown root key '" + rootName + u"'");
    const std::u16string rest = cut == std::u16string::npos ? std::u16string() : path.substr(cut + 1);
    std::vector<std::u16string> parts;
    try {
      parts = SplitRegistryPath(rest);
    } catch (const ERegistryException& e) {
      Fault(source_, lineNo_, e.Message());
    }
    if (parts.size() > MaxDepth) Fault(source_, lineNo_, u"the key is nested too deeply");
    for (const auto& part : parts) CheckName(part, u"key name");
    key_ = &tree_.Obtain(static_cast<TRegRoot>(root), rest);
  }

  void Value(std::string_view line) {
    if (key_ == nullptr) Fault(source_, lineNo_, u"a value before the first key line");
    size_t at = 0;
    std::u16string name;
    if (line[0] == '@') {
      at = 1;
    } else if (line[0] == '"') {
      name = Quoted(line, at);
      if (name.empty()) Fault(source_, lineNo_, u"a value name can't be empty (use @)");
      CheckName(name, u"value name");
    } else {
      Fault(source_, lineNo_, u"expected '[', '@' or '\"'");
    }
    if (at >= line.size() || line[at] != '=') Fault(source_, lineNo_, u"expected '=' after the value name");
    ++at;
    if (at >= line.size() || line[at] != '"') Fault(source_, lineNo_, u"expected a quoted value");
    std::u16string data = Quoted(line, at);
    if (at != line.size()) Fault(source_, lineNo_, u"unexpected text after the value");
    const std::u16string folded = FoldRegistryName(name);
    if (key_->Values.count(folded) != 0) Fault(source_, lineNo_, u"the value '" + name + u"' is given twice");
    key_->Values[folded] = TRegValue{std::move(name), std::move(data)};
  }

  // Reads a quoted text starting at line[at] == '"'; leaves at after the
  // closing quote.
  std::u16string Quoted(std::string_view line, size_t& at) {
    std::string bytes;
    for (++at; at < line.size(); ++at) {
      const char c = line[at];
      if (c == '"') {
        ++at;
        return Text(bytes);
      }
      if (c != '\\') {
        bytes += c;
        continue;
      }
      if (++at >= line.size()) break;
      switch (line[at]) {
        case '"': bytes += '"'; break;
        case '\\': bytes += '\\'; break;
        case 'n': bytes += '\n'; break;
        case 'r': bytes += '\r'; break;
        case 't': bytes += '\t'; break;
        default: Fault(source_, lineNo_, u"unknown escape in a quoted text");
      }
    }
    Fault(source_, lineNo_, u"a quoted text is not closed");
  }

  void CheckName(std::u16string_view name, std::u16string_view what) {
    for (char16_t c : name) {
      if (c < 0x20) Fault(source_, lineNo_, std::u16string(what) + u" with a control character");
    }
  }

  std::string_view text_;
  std::u16string_view source_;
  size_t pos_ = 0;
  size_t lineNo_ = 0;
  TRegistryTree tree_;
  TRegKey* key_ = nullptr;
};

bool SameKey(const TRegKey& a, const TRegKey& b) {
  if (a.Name != b.Name || a.Values.size() != b.Values.size() || a.Subkeys.size() != b.Subkeys.size()) {
    return false;
  }
  for (const auto& [folded, value] : a.Values) {
    const auto other = b.Values.find(folded);
    if (other == b.Values.end() || other->second.Name != value.Name || other->second.Data != value.Data) {
      return false;
    }
  }
  for (const auto& [folded, sub] : a.Subkeys) {
    const auto other = b.Subkeys.find(folded);
    if (other == b.Subkeys.end() || !SameKey(*sub, *other->second)) return false;
  }
  return true;
}

}  // namespace

std::u16string_view RegRootName(TRegRoot root) {
  switch (root) {
    case TRegRoot::ClassesRoot: return u"HKEY_CLASSES_ROOT";
    case TRegRoot::LocalMachine: return u"HKEY_LOCAL_MACHINE";
    case TRegRoot::CurrentUser: return u"HKEY_CURRENT_USER";
  }
  return u"";
}

std::u16string FoldRegistryName(std::u16string_view name) {
  std::u16string out(name.size() + 8, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = u_strFoldCase(out.data(), static_cast<int32_t>(out.size()), name.data(),
                                 static_cast<int32_t>(name.size()), U_FOLD_CASE_DEFAULT, &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    out.assign(static_cast<size_t>(length), u'\0');
    status = U_ZERO_ERROR;
    length = u_strFoldCase(out.data(), length, name.data(), static_cast<int32_t>(name.size()),
                           U_FOLD_CASE_DEFAULT, &status);
  }
  if (U_FAILURE(status)) return std::u16string(name);  // unpaired surrogates: compare as written
  out.resize(static_cast<size_t>(length));
  return out;
}

TRegKey* TRegKey::Find(std::u16string_view name) const {
  const auto found = Subkeys.find(FoldRegistryName(name));
  return found == Subkeys.end() ? nullptr : found->second.get();
}

TRegKey& TRegKey::Obtain(std::u16string_view name) {
  auto& slot = Subkeys[FoldRegistryName(name)];
  if (!slot) {
    slot = std::make_unique<TRegKey>();
    slot->Name = std::u16string(name);
  }
  return *slot;
}

TRegistryTree::TRegistryTree() {
  for (int r = 0; r < RegRootCount; ++r) {
    roots_[r] = std::make_unique<TRegKey>();
    roots_[r]->Name = std::u16string(RegRootName(static_cast<TRegRoot>(r)));
  }
}

std::vector<std::u16string> SplitRegistryPath(std::u16string_view path) {
  while (!path.empty() && path.front() == u'\\') path.remove_prefix(1);
  while (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
  std::vector<std::u16string> parts;
  if (path.empty()) return parts;
  size_t start = 0;
  while (true) {
    const size_t cut = path.find(u'\\', start);
    const auto part = path.substr(start, cut == std::u16string_view::npos ? path.size() - start : cut - start);
    if (part.empty()) throw ERegistryException(u"The key path '" + std::u16string(path) + u"' has an empty part");
    parts.emplace_back(part);
    if (cut == std::u16string_view::npos) break;
    start = cut + 1;
  }
  return parts;
}

TRegKey* TRegistryTree::Find(TRegRoot root, std::u16string_view path) const {
  TRegKey* key = roots_[static_cast<int>(root)].get();
  for (const auto& part : SplitRegistryPath(path)) {
    key = key->Find(part);
    if (key == nullptr) return nullptr;
  }
  return key;
}

TRegKey& TRegistryTree::Obtain(TRegRoot root, std::u16string_view path) {
  TRegKey* key = roots_[static_cast<int>(root)].get();
  for (const auto& part : SplitRegistryPath(path)) key = &key->Obtain(part);
  return *key;
}

bool TRegistryTree::Remove(TRegRoot root, std::u16string_view path) {
  auto parts = SplitRegistryPath(path);
  if (parts.empty()) return false;
  const std::u16string last = parts.back();
  parts.pop_back();
  TRegKey* parent = roots_[static_cast<int>(root)].get();
  for (const auto& part : parts) {
    parent = parent->Find(part);
    if (parent == nullptr) return false;
  }
  return parent->Subkeys.erase(FoldRegistryName(last)) != 0;
}

bool operator==(const TRegistryTree& a, const TRegistryTree& b) {
  for (int r = 0; r < RegRootCount; ++r) {
    if (!SameKey(*a.roots_[r], *b.roots_[r])) return false;
  }
  return true;
}

TRegistryTree ParseRegistryText(std::string_view text, std::u16string_view source) {
  return TRegistryReader(text, source).Read();
}

std::string FormatRegistryText(const TRegistryTree& tree) {
  std::string out(Header);
  out += '\n';
  for (int r = 0; r < RegRootCount; ++r) {
    const auto root = static_cast<TRegRoot>(r);
    FormatKey(out, tree.Root(root), std::u16string(RegRootName(root)), 0);
  }
  return out;
}

}  // namespace qm::platform
