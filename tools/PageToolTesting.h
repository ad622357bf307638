// Page files for the tests of qmtool's page commands: a fresh folder per
// test, and a saved shop page whose login form sits in a local frame.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/Common/TransitJson.h"

namespace qm::tool::testing {

// A checkout page as a shop serves it: a post form (a text input with a
// limit, a hidden token, an e-mail input, a select, a textarea, a ticked
// box and a submit input) declared in windows-1252, and a frame with a
// login form.
inline const std::string kShopPage =
    "<!DOCTYPE html>\n<html lang=en><head><meta charset=windows-1252><title>Checkout</title>"
    "</head><body><h1>Your order</h1>\n"
    "<form action='/cart/submit.php?step=2' method=POST>\n"
    "<label>Name <input name=fullname maxlength=10></label>\n"
    "<input type=hidden name=token value=abc>\n"
    "<label>Mail <input type=email name=mail></label>\n"
    "<select name=country><option value=''>Choose<option value=pe>Peru"
    "<option value=cl>Chile</select>\n"
    "<textarea name=note>caf\xE9</textarea>\n"
    "<input type=checkbox name=news checked> News\n"
    "<input type=submit name=go value=Order>\n"
    "</form>\n<iframe src=login.html></iframe></body></html>\n";
inline const std::string kLoginFrame =
    "<html><body><form action=login.cgi><input name=user><input type=password name=pw>"
    "<button>Sign in</button></form></body></html>";

// TempDir()/name, emptied.
class TPageFolder {
public:
  explicit TPageFolder(const std::string& name)
      : root_(std::filesystem::path(::testing::TempDir()) / name) {
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
  }
  // Writes the file (subfolders made) and answers its path.
  std::string Write(const std::string& name, const std::string& content) const {
    const std::filesystem::path path = root_ / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }
  // The shop page with its frame; answers the page's path.
  std::string WriteShop() const {
    Write("login.html", kLoginFrame);
    return Write("shop.html", kShopPage);
  }
  const std::filesystem::path& Root() const { return root_; }

private:
  std::filesystem::path root_;
};

inline TJson ParseJson(const std::string& text) {
  return TJson::parse(text);
}

}  // namespace qm::tool::testing
