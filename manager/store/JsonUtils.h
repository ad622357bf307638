// Reading and writing the manager's JSON documents (the whole-store export,
// the default content) with clear errors, and the one place where the JSON
// library's exceptions become ours.
//
// Texts: the program's UTF-16 texts become JSON strings; a text that UTF-8
// cannot carry (an unpaired surrogate) becomes {"Utf16": [code units]} so
// that nothing is lost on the way out and back. Readers accept both forms.
//
// Keys are written in one convention, each word capitalised ("StopWords",
// as the transit and lexicon documents have them). Readers (TJsonObject)
// also take the spelling with a small first letter ("stopWords") that
// documents of the manager's first version used; that is for one version
// only.
//
// Every reader names where in the document it was ("fields[3].caption") in
// its error, raised as EStoreError of kind Invalid. Thread safe.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace qm::manager {

using Json = nlohmann::ordered_json;

// Parses a whole document; what names it in the error ("the import file").
Json ParseJson(std::string_view text, const std::string& what);
// Compact (indent < 0) or pretty text of a document; never fails.
std::string DumpJson(const Json& document, int indent);

Json TextJson(const std::u16string& text);

// Required members: raise when absent or of the wrong type.
const Json& Member(const Json& object, const char* key, const std::string& where);
std::u16string TextOf(const Json& value, const std::string& where);
int64_t IntOf(const Json& value, const std::string& where);
bool BoolOf(const Json& value, const std::string& where);
const Json& ArrayOf(const Json& value, const std::string& where);
std::vector<std::u16string> TextsOf(const Json& value, const std::string& where);

// Optional members: the fallback when absent (a wrong type still raises).
std::u16string OptionalText(const Json& object, const char* key, const std::u16string& fallback,
                            const std::string& where);
int64_t OptionalInt(const Json& object, const char* key, int64_t fallback,
                    const std::string& where);
bool OptionalBool(const Json& object, const char* key, bool fallback, const std::string& where);

// One object of a document, with the keys it may hold: a key is found in
// this program's spelling or with a small first letter; any other key is
// refused when the object is made ("profiles[0].Colour: unknown key; the
// keys are Name, Active, ..."), so that a misspelt key never loses data.
class TJsonObject {
public:
  TJsonObject(const Json& value, std::string where, std::initializer_list<const char*> keys);

  const std::string& Where() const noexcept { return where_; }
  std::string Path(const char* key) const;
  // null when the key is absent.
  const Json* Find(const char* key) const;
  // Raises "<where>.<key>: is missing".
  const Json& Required(const char* key) const;

  std::u16string Text(const char* key) const;
  std::u16string Text(const char* key, const std::u16string& fallback) const;
  int64_t Int(const char* key, int64_t fallback) const;
  bool Bool(const char* key, bool fallback) const;
  // A list member; absent reads as an empty list.
  const Json& List(const char* key) const;

private:
  const Json& value_;
  std::string where_;
};

// "where.key" and "where[index]".
std::string MemberPath(const std::string& where, const char* key);
std::string IndexPath(const std::string& where, size_t index);

// Raises EStoreError (kind Invalid) "<where>: <problem>".
[[noreturn]] void RaiseJsonError(const std::string& where, const std::string& problem);

}  // namespace qm::manager
