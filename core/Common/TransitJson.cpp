#include "core/Common/TransitJson.h"

#include <cstdint>
#include <limits>
#include <string_view>

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
  return path + "." + std::string(key);
}

std::string Element(const std::string& path, size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

// ---- Writing -----------------------------------------------------------

// JSON strings are Unicode; an unpaired surrogate has no form there, and
// replacing it would change the text without telling anyone.
std::string Text(const std::u16string& text, const std::string& path, std::string_view key) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool high = c >= 0xD800 && c <= 0xDBFF;
    const bool low = c >= 0xDC00 && c <= 0xDFFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;
      continue;
    }
    if (high || low) {
      Fail(Child(path, key), "text holds an unpaired surrogate at unit " + std::to_string(i) +
                    ", which JSON cannot carry");
    }
  }
  return U8(text);
}

// ---- Reading -----------------------------------------------------------

const TJson& Object(const TJson& json, const std::string& path) {
  if (!json.is_object()) Fail(path, std::string("expected an object, found ") + json.type_name());
  return json;
}

// Refuses keys the item does not have.
void CheckKeys(const TJson& json, const std::string& path,
               std::initializer_list<std::string_view> known) {
  for (const auto& [key, value] : json.items()) {
    bool found = false;
    for (std::string_view k : known) found = found || k == key;
    if (!found) Fail(path, "unknown key '" + key + "'");
  }
}

void ReadText(const TJson& json, std::string_view key, const std::string& path,
              std::u16string& out) {
  const auto at = json.find(key);
  if (at == json.end()) return;
  if (!at->is_string()) {
    Fail(Child(path, key), std::string("expected a string, found ") + at->type_name());
  }
  out = W(at->get_ref<const std::string&>());  // the parser has checked the UTF-8
}

void ReadInt32(const TJson& json, std::string_view key, const std::string& path, int32_t& out) {
  const auto at = json.find(key);
  if (at == json.end()) return;
  if (!at->is_number_integer()) {
    Fail(Child(path, key), std::string("expected an integer, found ") + at->type_name());
  }
  constexpr auto low = std::numeric_limits<int32_t>::min();
  constexpr auto high = std::numeric_limits<int32_t>::max();
  const bool fits = at->is_number_unsigned()
                        ? at->get<uint64_t>() <= static_cast<uint64_t>(high)
                        : at->get<int64_t>() >= low && at->get<int64_t>() <= high;
  if (!fits) Fail(Child(path, key), at->dump() + " is outside the 32-bit integer range");
  out = static_cast<int32_t>(at->get<int64_t>());
}

void ReadBool(const TJson& json, std::string_view key, const std::string& path, bool& out) {
  const auto at = json.find(key);
  if (at == json.end()) return;
  if (!at->is_boolean()) {
    Fail(Child(path, key), std::string("expected true or false, found ") + at->type_name());
  }
  out = at->get<bool>();
}

void ReadGuid(const TJson& json, std::string_view key, const std::string& path,
              platform::GUID& out) {
  if (json.find(key) == json.end()) return;
  std::u16string text;
  ReadText(json, key, path, text);
  const auto guid = platform::TryParseGuid(text);
  if (!guid) Fail(Child(path, key), "'" + U8(text) + "' is not a valid GUID value");
  out = *guid;
}

TJson FieldToJson(const TTransitField& field, const std::string& path) {
  return TJson{
      {"ElementIndex", field.ElementIndex},
      {"Name", Text(field.Name, path, "Name")},
      {"TagName", Text(field.TagName, path, "TagName")},
      {"InputType", Text(field.InputType, path, "InputType")},
      {"ProfileField", Text(field.ProfileField, path, "ProfileField")},
      {"Value", Text(field.Value, path, "Value")},
      {"ValueKind", field.ValueKind},
      {"Values", Text(field.Values, path, "Values")},
  };
}

TJson CardToJson(const TTransitFormCard& card, const std::string& path) {
  TJson fields = TJson::array();
  for (int i = 0; i < card.Fields.Count(); ++i) {
    fields.push_back(
        FieldToJson(card.Fields[i], Element(Child(path, "Fields"), static_cast<size_t>(i))));
  }
  return TJson{
      {"Url", Text(card.Url, path, "Url")},
      {"Method", Text(card.Method, path, "Method")},
      {"Charset", Text(card.Charset, path, "Charset")},
      {"FormHtml", Text(card.FormHtml, path, "FormHtml")},
      {"CurrentForm", card.CurrentForm},
      {"SubmitFieldIndex", card.SubmitFieldIndex},
      {"FormSysID", platform::GuidToAscii(card.FormSysID)},
      {"Fields", std::move(fields)},
  };
}

}  // namespace

TJson TransitFieldToJson(const TTransitField& field) { return FieldToJson(field, "field"); }

TJson TransitCardToJson(const TTransitFormCard& card) { return CardToJson(card, "card"); }

TJson TransitSetToJson(const TTransitFormSet& set) {
  TJson cards = TJson::array();
  for (int i = 0; i < set.Count(); ++i) {
    cards.push_back(CardToJson(set[i], Element("cards", static_cast<size_t>(i))));
  }
  return TJson{{"cards", std::move(cards)}};
}

TTransitField TransitFieldFromJson(const TJson& json, const std::string& path) {
  Object(json, path);
  CheckKeys(json, path,
            {"ElementIndex", "Name", "TagName", "InputType", "ProfileField", "Value", "ValueKind",
             "Values"});
  TTransitField field;
  ReadInt32(json, "ElementIndex", path, field.ElementIndex);
  ReadText(json, "Name", path, field.Name);
  ReadText(json, "TagName", path, field.TagName);
  ReadText(json, "InputType", path, field.InputType);
  ReadText(json, "ProfileField", path, field.ProfileField);
  ReadText(json, "Value", path, field.Value);
  ReadInt32(json, "ValueKind", path, field.ValueKind);
  ReadText(json, "Values", path, field.Values);
  return field;
}

TTransitFormCard TransitCardFromJson(const TJson& json, const std::string& path) {
  Object(json, path);
  CheckKeys(json, path,
            {"Url", "Method", "Charset", "FormHtml", "CurrentForm", "SubmitFieldIndex",
             "FormSysID", "Fields"});
  TTransitFormCard card;
  ReadText(json, "Url", path, card.Url);
  ReadText(json, "Method", path, card.Method);
  ReadText(json, "Charset", path, card.Charset);
  ReadText(json, "FormHtml", path, card.FormHtml);
  ReadBool(json, "CurrentForm", path, card.CurrentForm);
  ReadInt32(json, "SubmitFieldIndex", path, card.SubmitFieldIndex);
  ReadGuid(json, "FormSysID", path, card.FormSysID);
  if (const auto fields = json.find("Fields"); fields != json.end()) {
    const std::string fieldsPath = Child(path, "Fields");
    if (!fields->is_array()) {
      Fail(fieldsPath, std::string("expected an array, found ") + fields->type_name());
    }
    for (size_t i = 0; i < fields->size(); ++i) {
      card.Fields.Add(TransitFieldFromJson((*fields)[i], Element(fieldsPath, i)));
    }
  }
  return card;
}

TTransitFormSet TransitSetFromJson(const TJson& json) {
  if (!json.is_object()) {
    throw Exception(W(std::string("Expected a form set object {\"cards\": [...]}, found ") +
                      json.type_name()));
  }
  CheckKeys(json, "form set", {"cards"});
  TTransitFormSet set;
  const auto cards = json.find("cards");
  if (cards == json.end()) return set;
  if (!cards->is_array()) Fail("cards", std::string("expected an array, found ") + cards->type_name());
  for (size_t i = 0; i < cards->size(); ++i) {
    set.Add(TransitCardFromJson((*cards)[i], Element("cards", i)));
  }
  return set;
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
