// Encryption of what a protected profile holds: its field values and the
// cards saved under it are sealed with XChaCha20-Poly1305 under a key
// derived from the profile's password with Argon2id. Each profile has its
// own salt; the password hash that checks a typed password is a separate
// Argon2id hash (PasswordHash.h), so the stored hash never gives the key.
//
// A sealed value is one format byte, a random 24-byte nonce, then the
// ciphertext with its 16-byte tag. Each sealing binds the text of where
// the value belongs (the additional data: which field, which card), so a
// sealed value moved to another place does not open.
//
// TProfileKey keeps the key in memory of its own that is locked (never
// swapped out), kept out of core dumps, read-only while held, and wiped
// when the key goes. Thread safe: keys are not changed after derivation.
// This is the one place where libsodium's results become our exceptions
// (PasswordHash.cpp shares EnsureSodium).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qm::manager {

using Bytes = std::vector<uint8_t>;

// Starts libsodium once; raises Exception when it cannot start.
void EnsureSodium();

// How a profile's key is derived: its salt and the Argon2id limits.
struct TKeyParams {
  Bytes Salt;         // 16 bytes
  uint64_t Ops = 0;   // passes
  uint64_t Mem = 0;   // bytes of memory
  bool Empty() const { return Salt.empty(); }
  friend bool operator==(const TKeyParams&, const TKeyParams&) = default;
};

// A fresh salt with the interactive limits (a fraction of a second and
// 64 MiB on a desktop).
TKeyParams NewKeyParams();
// Why params from outside (a store file, an import) cannot be used: a
// salt of the wrong size, limits outside what Argon2id takes or above a
// sane ceiling (1 GiB, 100 passes), so a crafted file cannot make a
// log-in take all memory. Empty when they are good.
std::string KeyParamsProblem(const TKeyParams& params);

class TProfileKey {
public:
  // Derives the key of password under params; raises Exception when the
  // params are bad or memory is short.
  static std::unique_ptr<TProfileKey> Derive(const std::u16string& password,
                                             const TKeyParams& params);
  ~TProfileKey();
  TProfileKey(const TProfileKey&) = delete;
  TProfileKey& operator=(const TProfileKey&) = delete;

  // The sealed form of plain, bound to place.
  Bytes Seal(std::span<const uint8_t> plain, std::u16string_view place) const;
  // The plain bytes; nullopt when sealed was damaged, was sealed for
  // another place or under another key.
  std::optional<Bytes> Open(std::span<const uint8_t> sealed, std::u16string_view place) const;

private:
  TProfileKey();
  unsigned char* key_ = nullptr;
};

// The smallest sealed value (format byte, nonce and tag around nothing).
inline constexpr size_t MinSealedSize = 1 + 24 + 16;

}  // namespace qm::manager
