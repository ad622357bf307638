#include "platform/registry/Registry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/rtl/Utf.h"
#include "testsupport/QmTesting.h"

namespace qm::platform {
namespace {

namespace fs = std::filesystem;
using qm::testing::ExpectThrowsExactly;

class RegistryFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/qm-registry-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    file_ = folder_ + "/sub/registry";
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Bytes() const {
    std::ifstream in(file_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void Put(const std::string& bytes) {
    fs::create_directories(fs::path(file_).parent_path());
    std::ofstream(file_, std::ios::binary) << bytes;
  }

  std::string folder_;
  std::string file_;
};

TEST_F(RegistryFileTest, KeysAndValuesAreFoundIgnoringCaseAndKeepTheirSpelling) {
  TRegistry reg(file_);
  reg.RootKey = TRegRoot::LocalMachine;
  ASSERT_TRUE(reg.OpenKey(u"Software\\Quillmate\\Helper", true));
  reg.WriteString(u"", u"Quillmate Helper");
  reg.WriteString(u"ThreadingModel", u"Apartment");

  TRegistry other(file_);
  other.RootKey = TRegRoot::LocalMachine;
  EXPECT_FALSE(other.OpenKey(u"SOFTWARE\\quillmate\\nothing", false));
  ASSERT_TRUE(other.OpenKey(u"SOFTWARE\\quillmate\\HELPER", false));
  EXPECT_EQ(other.ReadString(u""), u"Quillmate Helper");
  EXPECT_EQ(other.ReadString(u"threadingmodel"), u"Apartment");
  EXPECT_EQ(other.GetValueNames(), (std::vector<std::u16string>{u"", u"ThreadingModel"}));
  ASSERT_TRUE(other.OpenKey(u"\\Software", false));
  EXPECT_EQ(other.GetKeyNames(), std::vector<std::u16string>{u"Quillmate"});
  // Another root is another tree.
  other.RootKey = TRegRoot::ClassesRoot;
  EXPECT_FALSE(other.KeyExists(u"\\Software"));
}

TEST_F(RegistryFileTest, TextsWithQuotesBackslashesLineBreaksAndNonAsciiSurviveTheFile) {
  const std::u16string odd = u"C:\\Program Files\\\"quoted\"\nnext\tline \u00e9\u4e2d";
  TRegistry reg(file_);
  reg.RootKey = TRegRoot::CurrentUser;
  ASSERT_TRUE(reg.OpenKey(u"K\u00e9y", true));
  reg.WriteString(u"N\u00c4me", odd);
  const TRegistryTree tree = ParseRegistryText(Bytes(), u"f");
  EXPECT_EQ(tree, reg.Snapshot());
  ASSERT_TRUE(reg.OpenKey(u"\\k\u00c9Y", false));
  EXPECT_EQ(reg.ReadString(u"n\u00e4ME"), odd);
  EXPECT_EQ(FormatRegistryText(tree), Bytes());
}

TEST_F(RegistryFileTest, ValuesOfARootKeySurviveTheNextWrite) {
  TRegistry reg(file_);
  reg.RootKey = TRegRoot::ClassesRoot;
  ASSERT_TRUE(reg.OpenKey(u"", false));
  reg.WriteString(u"", u"root default");
  reg.WriteString(u"x", u"a\"b");
  // Another change rewrites the file from what it read back.
  ASSERT_TRUE(reg.OpenKey(u"\\Sub", true));
  reg.WriteString(u"y", u"1");
  TRegistry other(file_);
  other.RootKey = TRegRoot::ClassesRoot;
  ASSERT_TRUE(other.OpenKey(u"", false));
  EXPECT_EQ(other.ReadString(u""), u"root default");
  EXPECT_EQ(other.ReadString(u"X"), u"a\"b");
  EXPECT_EQ(other.GetKeyNames(), std::vector<std::u16string>{u"Sub"});
}

TEST(RegistryText, AnyTreeTheReaderAcceptsIsWrittenBackToTheSameTreeAndBytes) {
  // Sections spelled the ways a person might: a root with a trailing
  // separator, another case, keys met again under another spelling.
  const std::string text =
      "Quillmate registry 1\n"
      "[HKEY_CLASSeS_ROOT\\]\n\"x\"=\"a\\\"b\\\\c\\nd\"\n"
      "[hkey_current_user]\n@=\"u\"\n"
      "[HKEY_LOCAL_MACHINE\\A\\B]\n\"v\"=\"1\"\n"
      "[HKEY_LOCAL_MACHINE\\a]\n@=\"\"\n";
  const TRegistryTree tree = ParseRegistryText(text, u"f");
  ASSERT_NE(tree.Root(TRegRoot::ClassesRoot).Values.count(u"x"), 0u);
  EXPECT_EQ(tree.Root(TRegRoot::ClassesRoot).Values.at(u"x").Data, u"a\"b\\c\nd");
  const std::string written = FormatRegistryText(tree);
  const TRegistryTree back = ParseRegistryText(written, u"again");
  EXPECT_EQ(back, tree);
  EXPECT_EQ(FormatRegistryText(back), written);
  EXPECT_EQ(back.Root(TRegRoot::CurrentUser).Values.at(u"").Data, u"u");
  EXPECT_EQ(back.Find(TRegRoot::LocalMachine, u"a\\b")->Values.at(u"v").Data, u"1");
}

TEST_F(RegistryFileTest, DeletingAKeyTakesEverythingBelowIt) {
  TRegistry reg(file_);
  ASSERT_TRUE(reg.OpenKey(u"CLSID\\{A}\\InprocServer32", true));
  reg.WriteString(u"", u"/lib/x.so");
  ASSERT_TRUE(reg.OpenKey(u"\\CLSID\\{B}", true));
  reg.CloseKey();
  EXPECT_TRUE(reg.DeleteKey(u"clsid\\{a}"));
  EXPECT_FALSE(reg.DeleteKey(u"clsid\\{a}"));
  EXPECT_FALSE(reg.KeyExists(u"CLSID\\{A}\\InprocServer32"));
  EXPECT_TRUE(reg.KeyExists(u"CLSID\\{B}"));
  ASSERT_TRUE(reg.OpenKey(u"CLSID\\{B}", false));
  reg.WriteString(u"x", u"1");
  EXPECT_TRUE(reg.DeleteValue(u"X"));
  EXPECT_FALSE(reg.ValueExists(u"x"));
  EXPECT_FALSE(reg.DeleteValue(u"x"));
}

TEST_F(RegistryFileTest, WritingToAKeyThatIsGoneOrNotOpenFails) {
  TRegistry reg(file_);
  ExpectThrowsExactly<ERegistryException>([&] { reg.WriteString(u"a", u"b"); },
                                          u"Failed to set data for 'a': no key is open");
  ASSERT_TRUE(reg.OpenKey(u"Gone", true));
  TRegistry(file_).DeleteKey(u"Gone");
  ExpectThrowsExactly<ERegistryException>([&] { reg.WriteString(u"a", u"b"); },
                                          u"Failed to set data for 'a': the key Gone no longer exists");
  ExpectThrowsExactly<ERegistryException>([&] { reg.OpenKey(u"\\a\\\\b", true); },
                                          u"The key path 'a\\\\b' has an empty part");
}

TEST_F(RegistryFileTest, ADamagedFileIsRefusedWithItsLineAndNeverRewritten) {
  struct Case {
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"something else\n", "line 1: not a Quillmate registry file"},
      {"Quillmate registry 1\n\"x\"=\"y\"\n", "line 2: a value before the first key line"},
      {"Quillmate registry 1\n[HKEY_NOWHERE\\A]\n", "line 2: unknown root key 'HKEY_NOWHERE'"},
      {"Quillmate registry 1\n[HKEY_CLASSES_ROOT\\A\n", "line 2: a key line must end with ']'"},
      {"Quillmate registry 1\n; c\n[HKEY_CLASSES_ROOT\\A\\\\B]\n", "line 3: The key path 'A\\\\B' has an empty part"},
      {"Quillmate registry 1\n[HKEY_CLASSES_ROOT\\A]\n@=\"open\n", "line 3: a quoted text is not closed"},
      {"Quillmate registry 1\n[HKEY_CLASSES_ROOT\\A]\n@=\"a\\q\"\n", "line 3: unknown escape in a quoted text"},
      {"Quillmate registry 1\n[HKEY_CLASSES_ROOT\\A]\n@=\"a\" x\n", "line 3: unexpected text after the value"},
      {"Quillmate registry 1\n[HKEY_CLASSES_ROOT\\A]\n\"v\"=\"1\"\n\"V\"=\"2\"\n", "line 4: the value 'V' is given twice"},
      {"Quillmate registry 1\n[HKEY_CLASSES_ROOT\\A]\n@=\"\xff\"\n", "line 3: Invalid UTF-8 at byte 0"},
      {"Quillmate registry 1\n[HKEY_CLASSES_ROOT\\A]\n\"\"=\"1\"\n", "line 3: a value name can't be empty (use @)"},
  };
  for (const auto& c : cases) {
    Put(c.text);
    TRegistry reg(file_);
    try {
      reg.OpenKey(u"New", true);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const ERegistryException& e) {
      EXPECT_EQ(U8(e.Message()), file_ + ", " + c.message);
    }
    EXPECT_EQ(Bytes(), c.text) << "the damaged file was rewritten";
  }
}

TEST_F(RegistryFileTest, AnEmptyOrMissingFileIsAnEmptyRegistryAndNothingIsLeftBesideIt) {
  TRegistry reg(file_);
  EXPECT_FALSE(reg.KeyExists(u"A"));
  Put("");
  EXPECT_FALSE(reg.KeyExists(u"A"));
  ASSERT_TRUE(reg.OpenKey(u"A", true));
  EXPECT_FALSE(fs::exists(file_ + ".tmp"));
  EXPECT_EQ(Bytes(), "Quillmate registry 1\n\n[HKEY_CLASSES_ROOT\\A]\n");
}

TEST_F(RegistryFileTest, WritersOnManyThreadsLoseNoneOfEachOthersValues) {
  constexpr int writers = 4;
  constexpr int each = 25;
  std::vector<std::thread> threads;
  for (int w = 0; w < writers; ++w) {
    threads.emplace_back([this, w] {
      TRegistry reg(file_);  // each its own descriptors, as separate processes have
      reg.OpenKey(u"Shared", true);
      for (int i = 0; i < each; ++i) reg.WriteString(W(std::to_string(w) + "-" + std::to_string(i)), u"x");
    });
  }
  for (auto& t : threads) t.join();
  TRegistry reg(file_);
  ASSERT_TRUE(reg.OpenKey(u"Shared", false));
  EXPECT_EQ(reg.GetValueNames().size(), size_t{writers * each});
}

TEST(RegistryDefaultFile, FollowsTheConfigFolderUnlessTheProcessIsPointedElsewhere) {
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string keep = saved ? saved : "";
  ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(RegistryFile(), "/cfg/quillmate/registry");
  SetRegistryFile("/tmp/elsewhere");
  EXPECT_EQ(RegistryFile(), "/tmp/elsewhere");
  EXPECT_EQ(TRegistry().FileName(), "/tmp/elsewhere");
  SetRegistryFile("");
  EXPECT_EQ(RegistryFile(), "/cfg/quillmate/registry");
  if (saved) ::setenv("XDG_CONFIG_HOME", keep.c_str(), 1); else ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace qm::platform
