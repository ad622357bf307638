#include "core/Common/TransitJson.h"

#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

#include "core/Common/TextUtils.h"
#include "platform/com/Guid.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"

namespace qm {
namespace {

using platform::Exception;
using platform::U8;
using platform::W;

[[noreturn]] void Fail(const std::string& path, const std::string& what) {
  throw Exception(W(path + ": " + what));
}

std::string Child(const std::string& path, std::string_view key) {
  return path.empty() ? std::string(key) : path + "." + std::string(key);
}

std::string Element(const std::string& path, size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

// JSON strings are Unicode; an unpaired surrogate has no form there, and
// replacing it would change the text without telling anyone.
std::string Utf8Of(const std::u16string& text, const std::string& path) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool high = c >= 0xD800 && c <= 0xDBFF;
    const bool low = c >= 0xDC00 && c <= 0xDFFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;
      continue;
    }
    if (high || low) {
      Fail(path, "text holds an unpaired surrogate at unit " + std::to_string(i) +
                     ", which JSON cannot carry");
    }
  }
  return U8(text);
}

// The JSON pair of TStreamWriter / TStreamReader: one layout per item
// (below) names its keys once for both directions. path is the item's
// place for error messages, "" for the set itself.
class JsonWriter {
public:
  JsonWriter(TJson& out, std::string path) : out_(out), path_(std::move(path)) {
    out_ = TJson::object();
  }
  void Int32(std::string_view key, const int32_t& value) { out_[std::string(key)] = value; }
  void Bool(std::string_view key, const bool& value) { out_[std::string(key)] = value; }
  void Text(std::string_view key, const std::u16string& value) {
    out_[std::string(key)] = Utf8Of(value, Child(path_, key));
  }
  void Guid(std::string_view key, const platform::GUID& value) {
    out_[std::string(key)] = platform::GuidToAscii(value);
  }
  template <class Item, class Layout>
  void Items(std::string_view key, const TOwnedCollection<Item>& items, Layout layout) {
    const std::string at = Child(path_, key);
    TJson array = TJson::array();
    for (int i = 0; i < items.Count(); ++i) {
      TJson item;
      JsonWriter writer(item, Element(at, static_cast<size_t>(i)));
      layout(writer, items[i]);
      array.push_back(std::move(item));
    }
    out_[std::string(key)] = std::move(array);
  }

private:
  TJson& out_;
  std::string path_;
};

// Reads what the layout asks for; a missing key leaves the value as it
// is (the item's initial value). Finish refuses the keys nobody asked for.
class JsonReader {
public:
  JsonReader(const TJson& in, std::string path) : in_(in), path_(std::move(path)) {
    if (!in_.is_object()) Fail(Where(), std::string("expected an object, found ") + in_.type_name());
  }
  void Int32(std::string_view key, int32_t& value) {
    const TJson* at = Find(key);
    if (at == nullptr) return;
    if (!at->is_number_integer()) Expected(key, "an integer", *at);
    constexpr auto low = std::numeric_limits<int32_t>::min();
    constexpr auto high = std::numeric_limits<int32_t>::max();
    const bool fits = at->is_number_unsigned()
                          ? at->get<uint64_t>() <= static_cast<uint64_t>(high)
                          : at->get<int64_t>() >= low && at->get<int64_t>() <= high;
    if (!fits) Fail(Child(path_, key), at->dump() + " is outside the 32-bit integer range");
    value = static_cast<int32_t>(at->get<int64_t>());
  }
  void Bool(std::string_view key, bool& value) {
    const TJson* at = Find(key);
    if (at == nullptr) return;
    if (!at->is_boolean()) Expected(key, "true or false", *at);
    value = at->get<bool>();
  }
  void Text(std::string_view key, std::u16string& value) {
    const TJson* at = Find(key);
    if (at == nullptr) return;
    if (!at->is_string()) Expected(key, "a string", *at);
    value = W(at->get_ref<const std::string&>());  // the parser has checked the UTF-8
  }
  void Guid(std::string_view key, platform::GUID& value) {
    const TJson* at = Find(key);
    if (at == nullptr) return;
    if (!at->is_string()) Expected(key, "GUID text", *at);
    const std::string& text = at->get_ref<const std::string&>();
    const auto guid = platform::TryParseGuid(W(text));
    if (!guid) Fail(Child(path_, key), "'" + text + "' is not a valid GUID value");
    value = *guid;
  }
  template <class Item, class Layout>
  void Items(std::string_view key, TOwnedCollection<Item>& items, Layout layout) {
    const TJson* at = Find(key);
    if (at == nullptr) return;
    if (!at->is_array()) Expected(key, "an array", *at);
    const std::string where = Child(path_, key);
    items.Clear();
    for (size_t i = 0; i < at->size(); ++i) {
      Item item;
      JsonReader reader((*at)[i], Element(where, i));
      layout(reader, item);
      reader.Finish();
      items.Add(std::move(item));
    }
  }
  void Finish() const {
    for (const auto& [key, value] : in_.items()) {
      bool asked = false;
      for (std::string_view k : asked_) asked = asked || k == key || OlderSpelling(k) == key;
      if (!asked) Fail(Where(), "unknown key '" + key + "'");
    }
  }

private:
  std::string Where() const { return path_.empty() ? "form set" : path_; }
  // Keys are capitalised; the spelling with a small first letter ("cards",
  // as the first documents had the set's key) is read too, for a version.
  static std::string OlderSpelling(std::string_view key) {
    std::string older(key);
    if (!older.empty() && older[0] >= 'A' && older[0] <= 'Z') older[0] = static_cast<char>(older[0] + 32);
    return older;
  }
  const TJson* Find(std::string_view key) {
    asked_.push_back(key);
    auto at = in_.find(key);
    if (at == in_.end()) at = in_.find(OlderSpelling(key));
    return at == in_.end() ? nullptr : &*at;
  }
  [[noreturn]] void Expected(std::string_view key, const char* what, const TJson& found) const {
    Fail(Child(path_, key), std::string("expected ") + what + ", found " + found.type_name());
  }

  const TJson& in_;
  std::string path_;
  std::vector<std::string_view> asked_;
};

template <class IO, class Field>
void FieldJson(IO& io, Field& field) {
  io.Int32("ElementIndex", field.ElementIndex);
  io.Text("Name", field.Name);
  io.Text("TagName", field.TagName);
  io.Text("InputType", field.InputType);
  io.Text("ProfileField", field.ProfileField);
  io.Text("Value", field.Value);
  io.Int32("ValueKind", field.ValueKind);
  io.Text("Values", field.Values);
}

template <class IO, class Card>
void CardJson(IO& io, Card& card) {
  io.Text("Url", card.Url);
  io.Text("Method", card.Method);
  io.Text("Charset", card.Charset);
  io.Text("FormHtml", card.FormHtml);
  io.Bool("CurrentForm", card.CurrentForm);
  io.Int32("SubmitFieldIndex", card.SubmitFieldIndex);
  io.Guid("FormSysID", card.FormSysID);
  io.Items("Fields", card.Fields, [](auto& inner, auto& field) { FieldJson(inner, field); });
}

template <class IO, class Set>
void SetJson(IO& io, Set& set) {
  io.Items("Cards", set, [](auto& inner, auto& card) { CardJson(inner, card); });
}

template <class Item, class Layout>
TJson ToJson(const Item& item, const char* path, Layout layout) {
  TJson json;
  JsonWriter writer(json, path);
  layout(writer, item);
  return json;
}

template <class Item, class Layout>
Item FromJson(const TJson& json, const std::string& path, Layout layout) {
  Item item;
  JsonReader reader(json, path);
  layout(reader, item);
  reader.Finish();
  return item;
}

}  // namespace

TJson TransitFieldToJson(const TTransitField& field) {
  return ToJson(field, "field", [](auto& io, auto& f) { FieldJson(io, f); });
}

TJson TransitCardToJson(const TTransitFormCard& card) {
  return ToJson(card, "card", [](auto& io, auto& c) { CardJson(io, c); });
}

TJson TransitSetToJson(const TTransitFormSet& set) {
  return ToJson(set, "", [](auto& io, auto& s) { SetJson(io, s); });
}

TTransitField TransitFieldFromJson(const TJson& json, const std::string& path) {
  return FromJson<TTransitField>(json, path, [](auto& io, auto& f) { FieldJson(io, f); });
}

TTransitFormCard TransitCardFromJson(const TJson& json, const std::string& path) {
  return FromJson<TTransitFormCard>(json, path, [](auto& io, auto& c) { CardJson(io, c); });
}

TTransitFormSet TransitSetFromJson(const TJson& json) {
  if (!json.is_object()) {
    throw Exception(W(std::string("Expected a form set object {\"Cards\": [...]}, found ") +
                      json.type_name()));
  }
  return FromJson<TTransitFormSet>(json, "", [](auto& io, auto& s) { SetJson(io, s); });
}

std::string TransitSetToJsonText(const TTransitFormSet& set, int indent) {
  return TransitSetToJson(set).dump(indent);
}

TTransitFormSet TransitSetFromJsonText(std::string_view text) {
  TJson json;
  try {
    json = TJson::parse(text.begin(), text.end());
  } catch (const TJson::exception& e) {
    // Syntax errors, and numbers too large for any C++ number. what()
    // begins with the library's own tag "[json.exception...] ".
    std::string message = e.what();
    if (const size_t tag = message.find("] "); !message.empty() && message[0] == '[' &&
                                               tag != std::string::npos) {
      message.erase(0, tag + 2);
    }
    throw Exception(W("Invalid JSON: " + message));
  }
  return TransitSetFromJson(json);
}

}  // namespace qm
