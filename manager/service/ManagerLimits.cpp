#include "manager/service/ManagerLimits.h"

#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"

namespace qm::manager {
namespace {

[[noreturn]] void Refuse(const char* argument, const char* what, size_t found, size_t cap,
                         const char* unit) {
  throw platform::Exception(platform::Utf8ToUtf16(std::string(argument) + " " + what + ": " +
                                                  std::to_string(found) + " " + unit +
                                                  ", at most " + std::to_string(cap)));
}

}  // namespace

void CheckLength(std::u16string_view text, size_t maxChars, const char* argument) {
  if (text.size() > maxChars) Refuse(argument, "is too long", text.size(), maxChars, "characters");
}

void CheckSize(size_t bytes, size_t maxBytes, const char* argument) {
  if (bytes > maxBytes) Refuse(argument, "is too big", bytes, maxBytes, "bytes");
}

void CheckCount(size_t count, size_t maxCount, const char* argument) {
  if (count > maxCount) Refuse(argument, "holds too many items", count, maxCount, "items");
}

}  // namespace qm::manager
