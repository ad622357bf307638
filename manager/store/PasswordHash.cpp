#include "manager/store/PasswordHash.h"

#include <sodium.h>

#include <string>

#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {
namespace {

void InitSodium() {
  static const int status = sodium_init();  // 1: done before, 0: now, -1: failed
  if (status < 0) throw platform::Exception(u"Cannot start the password library");
}

}  // namespace

std::u16string HashPassword(const std::u16string& password) {
  InitSodium();
  const std::string secret = platform::Utf16ToUtf8(password);
  char hash[crypto_pwhash_STRBYTES] = {};
  if (crypto_pwhash_str(hash, secret.data(), secret.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                        crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
    throw platform::Exception(u"Cannot hash the password: not enough memory");
  }
  return platform::Utf8ToUtf16(hash);
}

bool VerifyPassword(const std::u16string& hash, const std::u16string& password) {
  InitSodium();
  const std::string stored = platform::Utf16ToUtf8(hash);
  if (stored.empty() || stored.size() >= crypto_pwhash_STRBYTES) return false;
  const std::string secret = platform::Utf16ToUtf8(password);
  return crypto_pwhash_str_verify(stored.c_str(), secret.data(), secret.size()) == 0;
}

}  // namespace qm::manager
