#include "manager/recognition/DefaultContent.h"

#include "manager/store/JsonUtils.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {
namespace {

TSeedField ParseField(const Json& entry, const std::string& where) {
  TSeedField field;
  field.Field.Group = TextOf(Member(entry, "group", where), MemberPath(where, "group"));
  field.Field.Caption = TextOf(Member(entry, "caption", where), MemberPath(where, "caption"));
  field.Field.FieldName = TextOf(Member(entry, "name", where), MemberPath(where, "name"));
  const std::string input = platform::Utf16ToUtf8(OptionalText(entry, "input", u"text", where));
  if (!InputKindFromName(input, field.Field.InputKind)) {
    RaiseJsonError(MemberPath(where, "input"), "unknown input kind '" + input + "'");
  }
  field.Field.ValueKind = static_cast<int32_t>(OptionalInt(entry, "valueKind", -1, where));
  field.Synonyms = TextsOf(Member(entry, "synonyms", where), MemberPath(where, "synonyms"));
  return field;
}

}  // namespace

TStoreSeed ParseDefaultContent(std::string_view json) {
  const std::string what = "the default content";
  const Json document = ParseJson(json, what);
  TStoreSeed seed;
  seed.Lexicon.Separators = TextOf(Member(document, "separators", what), "separators");
  seed.Lexicon.StopWords = TextsOf(Member(document, "stopWords", what), "stopWords");
  const Json& substitutions = ArrayOf(Member(document, "substitutions", what), "substitutions");
  for (size_t i = 0; i < substitutions.size(); ++i) {
    const std::string where = IndexPath("substitutions", i);
    seed.Lexicon.Substitutions.push_back(
        {TextOf(Member(substitutions[i], "key", where), MemberPath(where, "key")),
         TextsOf(Member(substitutions[i], "words", where), MemberPath(where, "words"))});
  }
  const Json& fields = ArrayOf(Member(document, "fields", what), "fields");
  for (size_t i = 0; i < fields.size(); ++i) {
    seed.Fields.push_back(ParseField(fields[i], IndexPath("fields", i)));
  }
  seed.Profiles = TextsOf(Member(document, "profiles", what), "profiles");
  return seed;
}

TLexiconData SeedLexicon(const TStoreSeed& seed) {
  TLexiconData lexicon = seed.Lexicon;
  for (const TSeedField& field : seed.Fields)
    lexicon.Goals.push_back({field.Field.FieldName, field.Synonyms});
  return lexicon;
}

std::vector<TFieldDef> SeedFields(const TStoreSeed& seed) {
  std::vector<TFieldDef> fields;
  for (const TSeedField& field : seed.Fields)
    fields.push_back(field.Field);
  return fields;
}

const TStoreSeed& DefaultContent() {
  static const TStoreSeed content = ParseDefaultContent(DefaultContentText());
  return content;
}

}  // namespace qm::manager
