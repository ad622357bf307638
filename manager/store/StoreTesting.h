// Test helpers for the manager's store: a private temporary directory that
// goes away with the test, and a small seed.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "manager/store/StoreTypes.h"

namespace qm::manager::testing {

class TTempDir {
public:
  TTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qm-manager-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

inline TStoreSeed SmallSeed() {
  TStoreSeed seed;
  seed.Lexicon.Separators = u" _-";
  seed.Lexicon.StopWords = {u"or", u"and"};
  seed.Lexicon.Substitutions = {{u"addons", {u"add-ons"}}};
  seed.Fields = {
      {{0, u"First name", u"FirstName", u"Personal", InputKindText, -1},
       {u"first name", u"fname", u"given name"}},
      {{0, u"Last name", u"LastName", u"Personal", InputKindText, -1},
       {u"last name", u"surname", u"lname"}},
      {{0, u"E-mail", u"Email", u"Contact", InputKindEmail, -1}, {u"email", u"e-mail", u"mail"}},
      {{0, u"Password", u"Password", u"Login", InputKindPassword, -1}, {u"password", u"pass"}},
  };
  seed.Profiles = {u"Default"};
  return seed;
}

}  // namespace qm::manager::testing
