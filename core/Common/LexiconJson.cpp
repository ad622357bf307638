#include "core/Common/LexiconJson.h"

#include <nlohmann/json.hpp>

#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"

namespace qm {
namespace {

using platform::Exception;

using Json = nlohmann::ordered_json;

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw Exception(platform::Utf8ToUtf16("Lexicon JSON: " + where + ": " + what));
}

std::string Indexed(const std::string& where, size_t index) {
  return where + "[" + std::to_string(index) + "]";
}

// ---- writing

std::string TextToJson(std::u16string_view text, const std::string& where) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool high = c >= 0xD800 && c <= 0xDBFF;
    const bool low = c >= 0xDC00 && c <= 0xDFFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;  // a pair
    } else if (high || low) {
      Fail(where, "holds an unpaired surrogate at code unit " + std::to_string(i) +
                      ", which JSON text cannot carry");
    }
  }
  return platform::Utf16ToUtf8(text);
}

Json ListToJson(const TWideStringList& list, const std::string& where) {
  Json out = Json::array();
  for (int i = 0; i < list.Count(); ++i) {
    out.push_back(TextToJson(list[i], Indexed(where, static_cast<size_t>(i))));
  }
  return out;
}

template <class Items>
Json ItemsToJson(const Items& items, const std::string& where) {
  Json out = Json::array();
  for (int i = 0; i < items.Count(); ++i) {
    const std::string at = Indexed(where, static_cast<size_t>(i));
    Json item = Json::object();
    item["Key"] = TextToJson(items[i].Key(), at + ".Key");
    item["Words"] = ListToJson(items[i].Words(), at + ".Words");
    out.push_back(std::move(item));
  }
  return out;
}

// ---- reading

std::u16string TextFromJson(const Json& value, const std::string& where) {
  if (!value.is_string()) Fail(where, "must be a text");
  try {
    return platform::Utf8ToUtf16Strict(value.get_ref<const std::string&>());
  } catch (const Exception& e) {
    Fail(where, e.what());
  }
}

const Json& ArrayFromJson(const Json& value, const std::string& where) {
  if (!value.is_array()) Fail(where, "must be a list");
  return value;
}

void CheckKeys(const Json& object, std::initializer_list<const char*> known,
               const std::string& where) {
  for (auto it = object.begin(); it != object.end(); ++it) {
    bool ok = false;
    for (const char* k : known)
      ok = ok || it.key() == k;
    if (!ok) Fail(where, "unknown key '" + it.key() + "'");
  }
}

template <class Item>
void ItemFromJson(const Json& value, const std::string& where, Item& item) {
  if (!value.is_object()) Fail(where, "must be an object with \"Key\" and \"Words\"");
  CheckKeys(value, {"Key", "Words"}, where);
  const auto key = value.find("Key");
  if (key == value.end()) Fail(where, "has no \"Key\"");
  item.SetKey(TextFromJson(*key, where + ".Key"));
  if (const auto words = value.find("Words"); words != value.end()) {
    const Json& list = ArrayFromJson(*words, where + ".Words");
    for (size_t i = 0; i < list.size(); ++i) {
      item.LoadWord(TextFromJson(list[i], Indexed(where + ".Words", i)));
    }
  }
  item.Renormalize();
}

void ReadInto(const Json& json, TLexicon& lexicon) {
  if (!json.is_object()) Fail("the document", "must be an object");
  CheckKeys(json, {"Separators", "StopWords", "Substitutions", "Goals"}, "the document");
  lexicon.Clear();
  if (const auto it = json.find("Separators"); it != json.end()) {
    lexicon.SetSeparators(TextFromJson(*it, "Separators"));
  }
  if (const auto it = json.find("StopWords"); it != json.end()) {
    const Json& list = ArrayFromJson(*it, "StopWords");
    for (size_t i = 0; i < list.size(); ++i) {
      const std::string at = Indexed("StopWords", i);
      std::u16string word = TextFromJson(list[i], at);
      if (lexicon.StopWords().Contains(word)) {
        Fail(at, "'" + platform::Utf16ToUtf8(word) + "' repeats a stop word (letter case aside)");
      }
      lexicon.LoadStopWord(std::move(word));
    }
  }
  if (const auto it = json.find("Substitutions"); it != json.end()) {
    const Json& list = ArrayFromJson(*it, "Substitutions");
    for (size_t i = 0; i < list.size(); ++i) {
      ItemFromJson(list[i], Indexed("Substitutions", i), lexicon.AddSubstitutionItem());
    }
  }
  if (const auto it = json.find("Goals"); it != json.end()) {
    const Json& list = ArrayFromJson(*it, "Goals");
    for (size_t i = 0; i < list.size(); ++i) {
      ItemFromJson(list[i], Indexed("Goals", i), lexicon.AddGoal());
    }
  }
}

// The one place where the JSON library's errors become ours.
Json ParseJson(std::string_view text) {
  try {
    return Json::parse(text);
  } catch (const nlohmann::json::exception& e) {
    // Its messages open with "[json.exception.parse_error.101] ".
    std::string message = e.what();
    if (const size_t end = message.find("] ");
        message.rfind('[', 0) == 0 && end != std::string::npos) {
      message.erase(0, end + 2);
    }
    throw Exception(platform::Utf8ToUtf16("Lexicon JSON: " + message));
  }
}

}  // namespace

Json LexiconToJson(const TLexicon& lexicon) {
  Json out = Json::object();
  out["Separators"] = TextToJson(lexicon.Separators(), "Separators");
  out["StopWords"] = ListToJson(lexicon.StopWords(), "StopWords");
  out["Substitutions"] = ItemsToJson(lexicon.Substitutions(), "Substitutions");
  out["Goals"] = ItemsToJson(lexicon.Goals(), "Goals");
  return out;
}

void LexiconFromJson(const Json& json, TLexicon& lexicon) {
  TLexicon read;
  ReadInto(json, read);
  lexicon.BeginUpdate();
  try {
    read.AssignTo(lexicon);
  } catch (...) {
    lexicon.EndUpdate();
    throw;
  }
  lexicon.EndUpdate();
}

std::string LexiconToJsonText(const TLexicon& lexicon) {
  return LexiconToJson(lexicon).dump(2) + "\n";
}

void LexiconFromJsonText(std::string_view text, TLexicon& lexicon) {
  LexiconFromJson(ParseJson(text), lexicon);
}

}  // namespace qm
