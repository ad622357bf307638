// Base64 (RFC 4648, with padding) for the binary card data in JSON
// documents. Thread safe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::manager {

std::string EncodeBase64(const std::vector<uint8_t>& bytes);
// nullopt for text that isn't canonical padded base64 (white space is not
// allowed either).
std::optional<std::vector<uint8_t>> DecodeBase64(std::string_view text);

}  // namespace qm::manager
