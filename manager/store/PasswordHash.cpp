#include "manager/store/PasswordHash.h"

#include <sodium.h>

#include <string>

#include "manager/store/ProfileCrypto.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {

std::u16string HashPassword(const std::u16string& password) {
  EnsureSodium();
  std::string secret = platform::Utf16ToUtf8(password);
  char hash[crypto_pwhash_STRBYTES] = {};
  const int rc = crypto_pwhash_str(hash, secret.data(), secret.size(),
                                   crypto_pwhash_OPSLIMIT_INTERACTIVE,
                                   crypto_pwhash_MEMLIMIT_INTERACTIVE);
  sodium_memzero(secret.data(), secret.size());
  if (rc != 0) throw platform::Exception(u"Cannot hash the password: not enough memory");
  return platform::Utf8ToUtf16(hash);
}

bool VerifyPassword(const std::u16string& hash, const std::u16string& password) {
  EnsureSodium();
  const std::string stored = platform::Utf16ToUtf8(hash);
  if (stored.empty() || stored.size() >= crypto_pwhash_STRBYTES) return false;
  std::string secret = platform::Utf16ToUtf8(password);
  const bool right = crypto_pwhash_str_verify(stored.c_str(), secret.data(), secret.size()) == 0;
  sodium_memzero(secret.data(), secret.size());
  return right;
}

}  // namespace qm::manager
