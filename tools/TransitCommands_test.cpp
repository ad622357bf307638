#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tools/ToolTesting.h"

namespace qm::tool {
namespace {

const std::string kSet = R"({"Cards": [
  {"Method": "post", "Url": "http://a.test/", "FormSysID": "{5838DE46-7072-4FCA-9A5C-C09D44D231FE}",
   "Fields": [{"ElementIndex": 0, "Name": "q", "TagName": "input", "InputType": "text"},
              {"Name": "t", "TagName": "input", "InputType": "hidden", "Value": "1"}]},
  {"Method": "click", "Url": "http://b.test/"}]})";

std::string WriteTemp(const std::string& name, const std::string& content) {
  const auto path = std::filesystem::path(::testing::TempDir()) / name;
  std::ofstream(path, std::ios::binary) << content;
  return path.string();
}

TEST(TransitCommand, EncodeAndDecodeAreInverse) {
  const ToolRun encoded = RunToolCapture({"transit", "encode"}, kSet);
  ASSERT_EQ(encoded.Status, 0) << encoded.Err;
  EXPECT_EQ(encoded.Out.substr(0, 4), std::string("\x02\0\0\0", 4));
  const ToolRun decoded = RunToolCapture({"transit", "decode", "-"}, encoded.Out);
  ASSERT_EQ(decoded.Status, 0) << decoded.Err;
  EXPECT_NE(decoded.Out.find("\"FormSysID\": \"{5838DE46-7072-4FCA-9A5C-C09D44D231FE}\""),
            std::string::npos);
  // The printed JSON encodes to the same bytes again.
  EXPECT_EQ(RunToolCapture({"transit", "encode", WriteTemp("d.json", decoded.Out)}).Out,
            encoded.Out);
  EXPECT_EQ(RunToolCapture({"transit", "encode"}, "{}").Out, std::string(4, '\0'));
}

TEST(TransitCommand, ACorruptStreamExitsTwoNamingTheByte) {
  std::string bytes = RunToolCapture({"transit", "encode"}, kSet).Out;
  ToolRun r = RunToolCapture({"transit", "decode"}, bytes.substr(0, bytes.size() - 1));
  EXPECT_EQ(r.Status, 2);
  // The click card's field count is the last item and loses its last byte.
  EXPECT_EQ(r.Err, "qmtool transit decode: Corrupt transit stream at byte " +
                       std::to_string(bytes.size() - 4) + ": short integer\n");
  EXPECT_EQ(r.Out, "");

  r = RunToolCapture({"transit", "decode"}, bytes + "x");
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(r.Err, "qmtool transit decode: 1 bytes after the form set, from byte " +
                       std::to_string(bytes.size()) + "\n");

  r = RunToolCapture({"transit", "decode"}, std::string("\x00\x94\x35\x77\0\0\0\0\0\0\0\0", 12));
  EXPECT_EQ(r.Err, "qmtool transit decode: Corrupt transit stream at byte 0: count larger than "
                   "the data\n");
}

TEST(TransitCommand, BadJsonExitsTwoWithTheFileAndTheKey) {
  const std::string path = WriteTemp("bad.json", R"({"Cards": [{"CurrentForm": "yes"}]})");
  const ToolRun r = RunToolCapture({"transit", "encode", path});
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(r.Err, "qmtool transit encode: " + path +
                       ": Cards[0].CurrentForm: expected true or false, found string\n");
  EXPECT_EQ(RunToolCapture({"transit", "encode", "a", "b"}).Status, 2);
}

TEST(TransitCommand, BestPrintsScoreAndIndex) {
  const std::string stored = WriteTemp("stored.json", kSet);
  const std::string probe = R"({"Cards": [{"Method": "post", "Fields": [
      {"ElementIndex": 0, "Name": "q", "TagName": "input", "InputType": "text"}]}]})";
  ToolRun r = RunToolCapture({"transit", "best", stored, "-"}, probe);
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out, "50 0\n");

  r = RunToolCapture({"transit", "best", stored, "-"},
                     R"({"Cards": [{"Method": "click", "Url": "http://b.test/"}]})");
  EXPECT_EQ(r.Out, "100 1\n");
  r = RunToolCapture({"transit", "best", stored, "-"}, R"({"Cards": [{"Method": "get"}]})");
  EXPECT_EQ(r.Out, "0 -1\n");
  EXPECT_EQ(r.Status, 1) << "no card scores: found nothing";

  r = RunToolCapture({"transit", "best", stored, "-"}, "{}");
  EXPECT_EQ(r.Status, 2);
  EXPECT_EQ(r.Err, "qmtool transit best: -: holds no card to probe with\n");
  EXPECT_EQ(RunToolCapture({"transit", "best", "-", "-"}).Status, 2);
}

TEST(TransitCommand, EveryVerbAnswersHelp) {
  for (const char* verb : {"encode", "decode", "best"}) {
    const ToolRun r = RunToolCapture({"transit", verb, "--help"});
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out.rfind(std::string("usage: qmtool transit ") + verb, 0), 0u) << r.Out;
  }
}

}  // namespace
}  // namespace qm::tool
