#include "manager/store/JsonUtils.h"

#include "manager/store/SqliteError.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {
namespace {

bool IsValidUtf16(const std::u16string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

// nlohmann's messages begin with "[json.exception.parse_error.101] ".
std::string WithoutTag(const char* message) {
  std::string text = message;
  if (!text.empty() && text[0] == '[') {
    const size_t end = text.find("] ");
    if (end != std::string::npos) text.erase(0, end + 2);
  }
  return text;
}

}  // namespace

void RaiseJsonError(const std::string& where, const std::string& problem) {
  RaiseStoreError(platform::Utf8ToUtf16(where + ": " + problem), EStoreError::Kind::Invalid);
}

Json ParseJson(std::string_view text, const std::string& what) {
  try {
    return Json::parse(text.begin(), text.end());
  } catch (const nlohmann::json::exception& e) {
    RaiseJsonError(what, "not valid JSON: " + WithoutTag(e.what()));
  }
}

std::string DumpJson(const Json& document, int indent) {
  // Every text went through TextJson, so the strings are valid UTF-8; the
  // replacing handler only guards against a slip.
  return document.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

Json TextJson(const std::u16string& text) {
  if (IsValidUtf16(text)) return platform::Utf16ToUtf8(text);
  Json units = Json::array();
  for (char16_t c : text)
    units.push_back(static_cast<int>(c));
  return Json{{"Utf16", units}};
}

std::string MemberPath(const std::string& where, const char* key) {
  return where.empty() ? std::string(key) : where + "." + key;
}

std::string IndexPath(const std::string& where, size_t index) {
  return where + "[" + std::to_string(index) + "]";
}

const Json& Member(const Json& object, const char* key, const std::string& where) {
  if (!object.is_object()) RaiseJsonError(where, "must be an object");
  const auto found = object.find(key);
  if (found == object.end()) RaiseJsonError(MemberPath(where, key), "is missing");
  return *found;
}

std::u16string TextOf(const Json& value, const std::string& where) {
  if (value.is_string()) return platform::Utf8ToUtf16(value.get_ref<const std::string&>());
  const char* unitsKey = value.is_object() && value.size() == 1
                             ? (value.contains("Utf16") ? "Utf16" : value.contains("utf16") ? "utf16" : nullptr)
                             : nullptr;
  if (unitsKey != nullptr) {
    const std::string at = where + "." + unitsKey;
    const Json& units = ArrayOf(value[unitsKey], at);
    std::u16string text;
    text.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
      const int64_t unit = IntOf(units[i], IndexPath(at, i));
      if (unit < 0 || unit > 0xFFFF) RaiseJsonError(IndexPath(at, i), "not a code unit");
      text.push_back(static_cast<char16_t>(unit));
    }
    return text;
  }
  RaiseJsonError(where, "must be a text");
}

int64_t IntOf(const Json& value, const std::string& where) {
  if (!value.is_number_integer()) RaiseJsonError(where, "must be a whole number");
  if (value.is_number_unsigned() && value.get<uint64_t>() > uint64_t{INT64_MAX}) {
    RaiseJsonError(where, "is too large");
  }
  return value.get<int64_t>();
}

bool BoolOf(const Json& value, const std::string& where) {
  if (!value.is_boolean()) RaiseJsonError(where, "must be true or false");
  return value.get<bool>();
}

const Json& ArrayOf(const Json& value, const std::string& where) {
  if (!value.is_array()) RaiseJsonError(where, "must be a list");
  return value;
}

std::vector<std::u16string> TextsOf(const Json& value, const std::string& where) {
  const Json& items = ArrayOf(value, where);
  std::vector<std::u16string> texts;
  texts.reserve(items.size());
  for (size_t i = 0; i < items.size(); ++i)
    texts.push_back(TextOf(items[i], IndexPath(where, i)));
  return texts;
}

std::u16string OptionalText(const Json& object, const char* key, const std::u16string& fallback,
                            const std::string& where) {
  if (!object.is_object()) RaiseJsonError(where, "must be an object");
  const auto found = object.find(key);
  return found == object.end() ? fallback : TextOf(*found, MemberPath(where, key));
}

int64_t OptionalInt(const Json& object, const char* key, int64_t fallback,
                    const std::string& where) {
  if (!object.is_object()) RaiseJsonError(where, "must be an object");
  const auto found = object.find(key);
  return found == object.end() ? fallback : IntOf(*found, MemberPath(where, key));
}

bool OptionalBool(const Json& object, const char* key, bool fallback, const std::string& where) {
  if (!object.is_object()) RaiseJsonError(where, "must be an object");
  const auto found = object.find(key);
  return found == object.end() ? fallback : BoolOf(*found, MemberPath(where, key));
}

namespace {

// The older spelling of a key: its first letter small.
std::string OlderSpelling(const char* key) {
  std::string older = key;
  if (!older.empty() && older[0] >= 'A' && older[0] <= 'Z') older[0] = static_cast<char>(older[0] - 'A' + 'a');
  return older;
}

}  // namespace

TJsonObject::TJsonObject(const Json& value, std::string where,
                         std::initializer_list<const char*> keys)
    : value_(value), where_(std::move(where)) {
  if (!value_.is_object()) RaiseJsonError(where_.empty() ? "the document" : where_, "must be an object");
  for (const auto& [key, item] : value_.items()) {
    bool known = false;
    for (const char* k : keys) known = known || key == k || key == OlderSpelling(k);
    if (known) continue;
    std::string list;
    for (const char* k : keys) list += (list.empty() ? "" : ", ") + std::string(k);
    RaiseJsonError(where_.empty() ? key : where_ + "." + key, "unknown key; the keys here are " + list);
  }
}

std::string TJsonObject::Path(const char* key) const {
  return MemberPath(where_, key);
}

const Json* TJsonObject::Find(const char* key) const {
  auto found = value_.find(key);
  if (found == value_.end()) found = value_.find(OlderSpelling(key));
  return found == value_.end() ? nullptr : &*found;
}

const Json& TJsonObject::Required(const char* key) const {
  const Json* found = Find(key);
  if (found == nullptr) RaiseJsonError(Path(key), "is missing");
  return *found;
}

std::u16string TJsonObject::Text(const char* key) const {
  return TextOf(Required(key), Path(key));
}

std::u16string TJsonObject::Text(const char* key, const std::u16string& fallback) const {
  const Json* found = Find(key);
  return found == nullptr ? fallback : TextOf(*found, Path(key));
}

int64_t TJsonObject::Int(const char* key, int64_t fallback) const {
  const Json* found = Find(key);
  return found == nullptr ? fallback : IntOf(*found, Path(key));
}

bool TJsonObject::Bool(const char* key, bool fallback) const {
  const Json* found = Find(key);
  return found == nullptr ? fallback : BoolOf(*found, Path(key));
}

const Json& TJsonObject::List(const char* key) const {
  static const Json empty = Json::array();
  const Json* found = Find(key);
  return found == nullptr ? empty : ArrayOf(*found, Path(key));
}

}  // namespace qm::manager
