// Reading and writing the manager's JSON documents (the whole-store export,
// the default content) with clear errors, and the one place where the JSON
// library's exceptions become ours.
//
// Texts: the program's UTF-16 texts become JSON strings; a text that UTF-8
// cannot carry (an unpaired surrogate) becomes {"utf16": [code units]} so
// that nothing is lost on the way out and back. Readers accept both forms.
//
// Every reader names where in the document it was ("fields[3].caption") in
// its error, raised as EStoreError of kind Invalid. Thread safe.
#pragma once

#include <cstdint>
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

// "where.key" and "where[index]".
std::string MemberPath(const std::string& where, const char* key);
std::string IndexPath(const std::string& where, size_t index);

// Raises EStoreError (kind Invalid) "<where>: <problem>".
[[noreturn]] void RaiseJsonError(const std::string& where, const std::string& problem);

}  // namespace qm::manager
