#include <gtest/gtest.h>

#include "core/Common/QMLexicon.h"
#include "tools/ToolTesting.h"

namespace qm::tool {
namespace {

const char* const Json =
    R"({"Separators": " -", "StopWords": ["the"],
        "Substitutions": [{"Key": "zip", "Words": ["postal code", "post-code"]}],
        "Goals": [{"Key": "City", "Words": ["Town"]}]})";

std::string Encoded(const std::string& json = Json) {
  const ToolRun r = RunToolCapture({"lexicon", "encode", "-"}, json);
  EXPECT_EQ(r.Status, 0) << r.Err;
  return r.Out;
}

TEST(LexiconCommand, NormalizePrintsOneLinePerTextWithTheBuiltInLexicon) {
  const ToolRun r = RunToolCapture({"lexicon", "normalize", "  First-Name:  ", "OR", "--", "-x"});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out, "first name\n\nx\n");
}

TEST(LexiconCommand, NormalizeAndExpandUseAGivenStream) {
  ToolRun r =
      RunToolCapture({"lexicon", "normalize", "--lexicon", "-", "The Post-Code or zip"}, Encoded());
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out, "post code or zip\n");
  r = RunToolCapture({"lexicon", "expand", "--lexicon=-", "[|zip|]", "[|addons|]"}, Encoded());
  EXPECT_EQ(r.Out, "[zip]\n[post code]\n[postal code]\n");
}

TEST(LexiconCommand, ExpandTakesTheMarkCharacter) {
  ToolRun r = RunToolCapture({"lexicon", "expand", "a|addons|b", "one|only", "plain"});
  EXPECT_EQ(r.Out, "aaddonsb\naadd on sb\naadd onsb\nplain\n");
  r = RunToolCapture({"lexicon", "expand", "--mark", "\xC2\xA7", "\xC2\xA7plugins\xC2\xA7|"});
  EXPECT_EQ(r.Out, "plugins|\nplug in s|\nplug ins|\n");
  r = RunToolCapture({"lexicon", "expand", "--mark", "ab", "x"});
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(r.Err, "qmtool lexicon expand: --mark expects one character, not 'ab'\n");
}

TEST(LexiconCommand, EncodeThenDecodeGivesTheLexiconBack) {
  const std::string stream = Encoded();
  EXPECT_EQ(stream.substr(0, 10), std::string("\x02\0\0\0 \0-\0\x01\0", 10));
  const ToolRun r = RunToolCapture({"lexicon", "decode", "-"}, stream);
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out,
            "{\n  \"Separators\": \" -\",\n  \"StopWords\": [\n    \"the\"\n  ],\n"
            "  \"Substitutions\": [\n    {\n      \"Key\": \"zip\",\n      \"Words\": [\n"
            "        \"post-code\",\n        \"postal code\"\n      ]\n    }\n  ],\n"
            "  \"Goals\": [\n    {\n      \"Key\": \"City\",\n      \"Words\": [\n"
            "        \"Town\"\n      ]\n    }\n  ]\n}\n");
  EXPECT_EQ(Encoded(r.Out), stream);
}

TEST(LexiconCommand, ACorruptStreamExitsTwoNamingTheByte) {
  const std::string stream = Encoded();
  ToolRun r = RunToolCapture({"lexicon", "decode", "-"}, stream.substr(0, 20));
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(r.Err,
            "qmtool lexicon decode: standard input: corrupt lexicon stream at byte 12 "
            "(short string)\n");
  r = RunToolCapture({"lexicon", "decode", "--version", "9", "-"}, stream);
  EXPECT_EQ(r.Status, 2);
  EXPECT_NE(r.Err.find("bytes after the lexicon's end at byte"), std::string::npos) << r.Err;

  const std::string repeated = Encoded(R"({"StopWords": ["or"]})");
  r = RunToolCapture({"lexicon", "normalize", "--lexicon", "-", "x"},
                     repeated.substr(0, 4) + std::string("\x02\0\0\0", 4) + repeated.substr(8, 8) +
                         repeated.substr(8));
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(r.Err,
            "qmtool lexicon normalize: standard input: String list does not allow duplicates "
            "(at byte 16)\n");
}

TEST(LexiconCommand, BadArgumentsAndJsonExitTwo) {
  ToolRun r = RunToolCapture({"lexicon", "encode", "-"}, R"({"Goals": [{"Key": 1}]})");
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(r.Err,
            "qmtool lexicon encode: standard input: Lexicon JSON: Goals[0].Key: must be a text\n");
  EXPECT_TRUE(r.Out.empty());
  EXPECT_EQ(RunToolCapture({"lexicon", "normalize"}).Err,
            "qmtool lexicon normalize: expects at least one TEXT\n");
  EXPECT_EQ(RunToolCapture({"lexicon", "normalize", "--mark", "|", "x"}).Err,
            "qmtool lexicon normalize: unknown option --mark\n");
  EXPECT_EQ(RunToolCapture({"lexicon", "expand", "x", "--lexicon"}).Err,
            "qmtool lexicon expand: --lexicon needs a value\n");
  EXPECT_EQ(RunToolCapture({"lexicon", "decode", "--version", "ten", "-"}).Err,
            "qmtool lexicon decode: --version expects a whole number, not 'ten'\n");
  EXPECT_EQ(RunToolCapture({"lexicon", "decode", "/nonexistent/lexicon"}).Err,
            "qmtool lexicon decode: cannot open /nonexistent/lexicon: No such file or directory\n");
}

TEST(LexiconCommand, EveryVerbAnswersHelp) {
  for (const char* verb : {"normalize", "expand", "encode", "decode"}) {
    const ToolRun r = RunToolCapture({"lexicon", verb, "--help"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out.rfind(std::string("usage: qmtool lexicon ") + verb, 0), 0u) << r.Out;
  }
}

}  // namespace
}  // namespace qm::tool
