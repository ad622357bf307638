#include "platform/com/Unknown.h"

namespace qm::platform {
namespace {
std::atomic<int32_t> liveObjects{0};
}

int32_t LiveComObjectCount() noexcept { return liveObjects.load(); }

namespace detail {
void CountComObject(int delta) noexcept { liveObjects += delta; }
}  // namespace detail

}  // namespace qm::platform
