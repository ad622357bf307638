// Named resources compiled into a module, and the icon lookup by name.
//
// A module (the add-on library, a program) carries a table of named
// resources: bytes compiled in from files of the source tree (see
// cmake/EmbedResources.cmake, which writes the table). Code asks its own
// module for a resource by name, the way a library loads the icons of its
// own resources: LoadIconA(module, "Z100").
//
// Icons are PNG pictures; LoadIconA reads the picture's size from its
// header and refuses bytes that are not a PNG picture. A loaded icon is
// shared and immutable. Everything here is usable on any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace qm::platform {

struct TResource {
  const char* Name;
  const uint8_t* Data;
  size_t Size;
};

// A module's resource table (a static array that outlives the module).
class TModule {
public:
  constexpr explicit TModule(std::span<const TResource> resources) : resources_(resources) {}
  // The resource of that name (exact, ASCII case ignored); null when none.
  const TResource* Find(std::string_view name) const noexcept;
  std::span<const TResource> Resources() const noexcept { return resources_; }

private:
  std::span<const TResource> resources_;
};
using HINSTANCE = const TModule*;

struct TIcon {
  std::string Name;
  int Width = 0;
  int Height = 0;
  std::span<const uint8_t> Png;  // the module's bytes
};
using HICON = std::shared_ptr<const TIcon>;

// The icon named name in module; null when there is no such resource or
// its bytes are not a PNG picture.
HICON LoadIconA(HINSTANCE module, const char* name);

// The width and height a PNG picture's header gives; false when bytes do
// not start as a PNG picture (signature, then the header chunk).
bool PngSize(std::span<const uint8_t> bytes, int& width, int& height);

}  // namespace qm::platform
