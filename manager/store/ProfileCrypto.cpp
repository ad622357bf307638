#include "manager/store/ProfileCrypto.h"

#include <sodium.h>

#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {
namespace {

constexpr uint8_t SealFormat = 1;  // XChaCha20-Poly1305, nonce first
constexpr size_t KeyBytes = crypto_aead_xchacha20poly1305_ietf_KEYBYTES;
constexpr size_t NonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr size_t TagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;
static_assert(MinSealedSize == 1 + NonceBytes + TagBytes);

constexpr uint64_t MaxOps = 100;
constexpr uint64_t MaxMem = uint64_t{1} << 30;

// The place, as the bytes the sealing binds.
std::span<const unsigned char> PlaceBytes(std::u16string_view place) {
  return {reinterpret_cast<const unsigned char*>(place.data()), place.size() * sizeof(char16_t)};
}

}  // namespace

void EnsureSodium() {
  static const int status = sodium_init();  // 1: done before, 0: now, -1: failed
  if (status < 0) throw platform::Exception(u"Cannot start the encryption library");
}

TKeyParams NewKeyParams() {
  EnsureSodium();
  TKeyParams params;
  params.Salt.resize(crypto_pwhash_SALTBYTES);
  randombytes_buf(params.Salt.data(), params.Salt.size());
  params.Ops = crypto_pwhash_OPSLIMIT_INTERACTIVE;
  params.Mem = crypto_pwhash_MEMLIMIT_INTERACTIVE;
  return params;
}

std::string KeyParamsProblem(const TKeyParams& params) {
  if (params.Salt.size() != crypto_pwhash_SALTBYTES) {
    return "the key's salt must be " + std::to_string(crypto_pwhash_SALTBYTES) + " bytes";
  }
  if (params.Ops < crypto_pwhash_OPSLIMIT_MIN || params.Ops > MaxOps) {
    return "the key's passes must be from " + std::to_string(crypto_pwhash_OPSLIMIT_MIN) + " to " +
           std::to_string(MaxOps);
  }
  if (params.Mem < crypto_pwhash_MEMLIMIT_MIN || params.Mem > MaxMem) {
    return "the key's memory must be from " + std::to_string(crypto_pwhash_MEMLIMIT_MIN) +
           " to " + std::to_string(MaxMem) + " bytes";
  }
  return {};
}

TProfileKey::TProfileKey() {
  EnsureSodium();
  // Guarded pages of their own, locked and kept out of core dumps.
  key_ = static_cast<unsigned char*>(sodium_malloc(KeyBytes));
  if (key_ == nullptr) throw platform::Exception(u"Cannot hold a key: out of locked memory");
}

TProfileKey::~TProfileKey() {
  sodium_free(key_);  // wipes it first
}

std::unique_ptr<TProfileKey> TProfileKey::Derive(const std::u16string& password,
                                                 const TKeyParams& params) {
  const std::string problem = KeyParamsProblem(params);
  if (!problem.empty()) throw platform::Exception(platform::Utf8ToUtf16("Cannot derive the key: " + problem));
  std::unique_ptr<TProfileKey> key(new TProfileKey());
  std::string secret = platform::Utf16ToUtf8(password);
  const int rc = crypto_pwhash(key->key_, KeyBytes, secret.data(), secret.size(),
                               params.Salt.data(), params.Ops, static_cast<size_t>(params.Mem),
                               crypto_pwhash_ALG_ARGON2ID13);
  sodium_memzero(secret.data(), secret.size());
  if (rc != 0) throw platform::Exception(u"Cannot derive the key: not enough memory");
  sodium_mprotect_readonly(key->key_);
  return key;
}

Bytes TProfileKey::Seal(std::span<const uint8_t> plain, std::u16string_view place) const {
  Bytes sealed(1 + NonceBytes + plain.size() + TagBytes);
  sealed[0] = SealFormat;
  unsigned char* nonce = sealed.data() + 1;
  randombytes_buf(nonce, NonceBytes);
  const auto aad = PlaceBytes(place);
  unsigned long long length = 0;
  crypto_aead_xchacha20poly1305_ietf_encrypt(sealed.data() + 1 + NonceBytes, &length, plain.data(),
                                             plain.size(), aad.data(), aad.size(), nullptr, nonce,
                                             key_);
  return sealed;
}

std::optional<Bytes> TProfileKey::Open(std::span<const uint8_t> sealed,
                                       std::u16string_view place) const {
  if (sealed.size() < MinSealedSize || sealed[0] != SealFormat) return std::nullopt;
  Bytes plain(sealed.size() - MinSealedSize);
  const auto aad = PlaceBytes(place);
  unsigned long long length = 0;
  if (crypto_aead_xchacha20poly1305_ietf_decrypt(
          plain.data(), &length, nullptr, sealed.data() + 1 + NonceBytes,
          sealed.size() - 1 - NonceBytes, aad.data(), aad.size(), sealed.data() + 1,
          key_) != 0) {
    return std::nullopt;
  }
  return plain;
}

}  // namespace qm::manager
