#include "core/Common/TransitJson.h"

#include <gtest/gtest.h>

#include "testsupport/QmTesting.h"

namespace qm {
namespace {

using platform::Exception;

TTransitFormSet Sample() {
  TTransitFormSet set;
  TTransitFormCard& card = set.Add();
  card.Url = u"http://shop.test/\u00E9";
  card.Method = u"post";
  card.CurrentForm = true;
  card.SubmitFieldIndex = 1;
  card.FormSysID = platform::MakeGuid("{5838DE46-7072-4FCA-9A5C-C09D44D231FE}");
  TTransitField& f = card.Fields.Add();
  f.ElementIndex = 0;
  f.Name = u"q\U0001F600";
  f.TagName = u"input";
  f.InputType = u"text";
  f.Value = std::u16string(u"nul\0inside", 10);
  f.ValueKind = ValueKindWords;
  f.Values = u"a,\"b c\"";
  set.Add().Method = u"click";
  return set;
}

void ExpectError(std::string_view json, const std::u16string& message) {
  testing::ExpectThrowsExactly<Exception>([&] { (void)TransitSetFromJsonText(json); }, message);
}

TEST(TransitJson, ASetRoundTripsThroughText) {
  const TTransitFormSet set = Sample();
  const std::string text = TransitSetToJsonText(set);
  EXPECT_EQ(TransitSetFromJsonText(text), set);
  EXPECT_EQ(TransitSetFromJsonText(TransitSetToJsonText(set, -1)), set);
  EXPECT_NE(text.find("\"FormSysID\": \"{5838DE46-7072-4FCA-9A5C-C09D44D231FE}\""),
            std::string::npos);
}

TEST(TransitJson, KeysComeInDeclarationOrder) {
  const TJson card = TransitSetToJson(Sample())["Cards"][0];
  std::vector<std::string> keys;
  for (const auto& [key, value] : card.items()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"Url", "Method", "Charset", "FormHtml", "CurrentForm",
                                            "SubmitFieldIndex", "FormSysID", "Fields"}));
  keys.clear();
  for (const auto& [key, value] : card["Fields"][0].items()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"ElementIndex", "Name", "TagName", "InputType",
                                            "ProfileField", "Value", "ValueKind", "Values"}));
}

TEST(TransitJson, MissingKeysTakeTheInitialValues) {
  const TTransitFormSet set = TransitSetFromJsonText(R"({"Cards": [{"Fields": [{}]}]})");
  ASSERT_EQ(set.Count(), 1);
  TTransitFormCard expected;
  expected.Fields.Add();
  EXPECT_EQ(set[0], expected);
  EXPECT_EQ(set[0].SubmitFieldIndex, -1);
  EXPECT_EQ(set[0].Fields[0].ValueKind, -1);
  EXPECT_EQ(TransitSetFromJsonText("{}").Count(), 0);
}

TEST(TransitJson, KeysWithASmallFirstLetterAreReadForAVersion) {
  const TTransitFormSet set =
      TransitSetFromJsonText(R"({"cards": [{"url": "http://a.test/", "Fields": [{"name": "q"}]}]})");
  ASSERT_EQ(set.Count(), 1);
  EXPECT_EQ(set[0].Url, u"http://a.test/");
  EXPECT_EQ(set[0].Fields[0].Name, u"q");
  ExpectError(R"({"cards": [{"URL": "x"}]})", u"Cards[0]: unknown key 'URL'");
}

TEST(TransitJson, WrongTypesNameTheKey) {
  ExpectError(R"({"Cards": [{}, {"Fields": [{}, {"ElementIndex": "3"}]}]})",
              u"Cards[1].Fields[1].ElementIndex: expected an integer, found string");
  ExpectError(R"({"Cards": [{"CurrentForm": 1}]})",
              u"Cards[0].CurrentForm: expected true or false, found number");
  ExpectError(R"({"Cards": [{"Url": null}]})", u"Cards[0].Url: expected a string, found null");
  ExpectError(R"({"Cards": [{"Fields": {}}]})", u"Cards[0].Fields: expected an array, found object");
  ExpectError(R"({"Cards": [[]]})", u"Cards[0]: expected an object, found array");
  ExpectError(R"({"Cards": 3})", u"Cards: expected an array, found number");
  ExpectError(R"([])", u"Expected a form set object {\"Cards\": [...]}, found array");
}

TEST(TransitJson, NumbersMustBeInt32Integers) {
  ExpectError(R"({"Cards": [{"SubmitFieldIndex": 2147483648}]})",
              u"Cards[0].SubmitFieldIndex: 2147483648 is outside the 32-bit integer range");
  ExpectError(R"({"Cards": [{"SubmitFieldIndex": -2147483649}]})",
              u"Cards[0].SubmitFieldIndex: -2147483649 is outside the 32-bit integer range");
  ExpectError(R"({"Cards": [{"SubmitFieldIndex": 1.5}]})",
              u"Cards[0].SubmitFieldIndex: expected an integer, found number");
  EXPECT_EQ(TransitSetFromJsonText(R"({"Cards": [{"SubmitFieldIndex": -2147483648}]})")[0]
                .SubmitFieldIndex,
            -2147483647 - 1);
}

TEST(TransitJson, BadGuidsUnknownKeysAndSyntaxAreRefused) {
  ExpectError(R"({"Cards": [{"FormSysID": "{5838DE46-7072-4FCA-9A5C}"}]})",
              u"Cards[0].FormSysID: '{5838DE46-7072-4FCA-9A5C}' is not a valid GUID value");
  ExpectError(R"({"Cards": [{"Fields": [{"Nmae": "x"}]}]})",
              u"Cards[0].Fields[0]: unknown key 'Nmae'");
  ExpectError(R"({"card": []})", u"form set: unknown key 'card'");
  ExpectError(R"({"Cards": [{"ValueKind": 1e999}]})",
              u"Invalid JSON: number overflow parsing '1e999'");
  ExpectError("{\"cards\": [", u"Invalid JSON: parse error at line 1, column 12: syntax error "
                               u"while parsing value - unexpected end of input; expected '[', "
                               u"'{', or a literal");
}

TEST(TransitJson, AnUnpairedSurrogateCannotBeWritten) {
  TTransitFormSet set = Sample();
  set[0].Fields[0].Values = u"ok\xD800";
  testing::ExpectThrowsExactly<Exception>(
      [&] { (void)TransitSetToJsonText(set); },
      u"Cards[0].Fields[0].Values: text holds an unpaired surrogate at unit 2, which JSON cannot "
      u"carry");
}

}  // namespace
}  // namespace qm
