// Password storage: Argon2id hashes in libsodium's self-describing text
// form ("$argon2id$v=19$m=...,t=...,p=...$salt$hash"). The hash only checks
// a typed password; the key that encrypts a protected profile is derived
// apart from it (ProfileCrypto.h), with a salt of its own.
//
// Hashing is deliberately slow (libsodium's interactive limits: a few
// dozen milliseconds and 64 MiB). Thread safe.
#pragma once

#include <string>

namespace qm::manager {

// Raises Exception when the hash cannot be made (out of memory).
std::u16string HashPassword(const std::u16string& password);
// False for a wrong password and for a hash that isn't one.
bool VerifyPassword(const std::u16string& hash, const std::u16string& password);

}  // namespace qm::manager
