#include "platform/winsys/Resources.h"

#include <array>
#include <cstring>

namespace qm::platform {
namespace {

bool SameAsciiName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

uint32_t BigEndian32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

}  // namespace

const TResource* TModule::Find(std::string_view name) const noexcept {
  for (const TResource& r : resources_) {
    if (SameAsciiName(r.Name, name)) return &r;
  }
  return nullptr;
}

bool PngSize(std::span<const uint8_t> bytes, int& width, int& height) {
  static constexpr std::array<uint8_t, 8> signature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  // Signature, then the header chunk: length 13, "IHDR", width, height.
  if (bytes.size() < 8 + 8 + 13 || std::memcmp(bytes.data(), signature.data(), 8) != 0) return false;
  const uint8_t* chunk = bytes.data() + 8;
  if (BigEndian32(chunk) != 13 || std::memcmp(chunk + 4, "IHDR", 4) != 0) return false;
  const uint32_t w = BigEndian32(chunk + 8);
  const uint32_t h = BigEndian32(chunk + 12);
  if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

HICON LoadIconA(HINSTANCE module, const char* name) {
  if (module == nullptr || name == nullptr) return nullptr;
  const TResource* resource = module->Find(name);
  if (resource == nullptr) return nullptr;
  auto icon = std::make_shared<TIcon>();
  icon->Name = resource->Name;
  icon->Png = std::span<const uint8_t>(resource->Data, resource->Size);
  if (!PngSize(icon->Png, icon->Width, icon->Height)) return nullptr;
  return icon;
}

}  // namespace qm::platform
