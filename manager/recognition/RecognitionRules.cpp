#include "manager/recognition/RecognitionRules.h"

#include "manager/recognition/DefaultContent.h"
#include "manager/store/JsonUtils.h"

namespace qm::manager {
namespace {

std::vector<String> Words(const Json& rules, const char* key, const std::string& where) {
  return TextsOf(Member(rules, key, where), MemberPath(where, key));
}

TDateFields DateFieldsOf(const Json& entry, const std::string& where) {
  TDateFields fields;
  fields.Field = TextOf(Member(entry, "field", where), MemberPath(where, "field"));
  fields.Day = OptionalText(entry, "day", u"", where);
  fields.Month = OptionalText(entry, "month", u"", where);
  fields.Year = OptionalText(entry, "year", u"", where);
  return fields;
}

}  // namespace

TRecognitionRules ParseRecognitionRules(std::string_view json) {
  const Json document = ParseJson(json, "the default content");
  const std::string where = "recognition";
  const Json& rules = Member(document, "recognition", "the default content");
  TRecognitionRules parsed;
  parsed.PathSeparators =
      TextOf(Member(rules, "pathSeparators", where), MemberPath(where, "pathSeparators"));
  parsed.FillerWords = Words(rules, "fillerWords", where);
  const std::string same = MemberPath(where, "sameWords");
  const Json& groups = ArrayOf(Member(rules, "sameWords", where), same);
  for (size_t i = 0; i < groups.size(); ++i)
    parsed.SameWords.push_back(TextsOf(groups[i], IndexPath(same, i)));
  parsed.WholeWords = Words(rules, "wholeWords", where);
  parsed.ContextWords = Words(rules, "contextWords", where);
  parsed.ControlWords = Words(rules, "controlWords", where);
  parsed.ContainerWords = Words(rules, "containerWords", where);
  parsed.TrailingWords = Words(rules, "trailingWords", where);
  parsed.ConfirmWords = Words(rules, "confirmWords", where);
  parsed.BlockWords = Words(rules, "blockWords", where);
  parsed.WeakWords = Words(rules, "weakWords", where);
  parsed.NotFields = Words(rules, "notFields", where);
  const std::string parts = MemberPath(where, "dateParts");
  const Json& dateParts = Member(rules, "dateParts", where);
  parsed.DayWords = Words(dateParts, "day", parts);
  parsed.MonthWords = Words(dateParts, "month", parts);
  parsed.YearWords = Words(dateParts, "year", parts);
  const std::string fields = MemberPath(where, "dateFields");
  const Json& dateFields = ArrayOf(Member(rules, "dateFields", where), fields);
  for (size_t i = 0; i < dateFields.size(); ++i)
    parsed.DateFields.push_back(DateFieldsOf(dateFields[i], IndexPath(fields, i)));
  return parsed;
}

const TRecognitionRules& DefaultRecognitionRules() {
  static const TRecognitionRules rules = ParseRecognitionRules(DefaultContentText());
  return rules;
}

}  // namespace qm::manager
