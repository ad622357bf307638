// The manager's store import: any bytes either import or fail with our
// exception, never crash, and a failed import leaves the store as it was.
// A document that imports must export to a document that imports again to
// the same export (the round trip loses nothing), unless it protects a
// profile whose data came in clear: that needs the password before it can
// go out again, and export says so.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "manager/store/ManagerStore.h"
#include "manager/store/SqliteError.h"
#include "manager/store/StoreJson.h"
#include "platform/rtl/Exception.h"

namespace {

using namespace qm::manager;

void Check(bool ok) {
  if (!ok) std::abort();
}

TManagerStore& Store() {
  static TManagerStore store(":memory:", nullptr);
  return store;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TManagerStore& store = Store();
  const std::string before = DumpJson(ExportStore(store), -1);
  Json document;
  try {
    document = ParseJson(std::string_view(reinterpret_cast<const char*>(data), size), "input");
    ImportStore(store, document, {});
  } catch (const qm::platform::Exception&) {
    Check(DumpJson(ExportStore(store), -1) == before);
    return 0;
  }
  if (!store.ProfilesAwaitingEncryption().empty()) {
    try {
      ExportStore(store);
      Check(false);
    } catch (const EStoreError& e) {
      Check(e.ErrorKind() == EStoreError::Kind::Locked);
    }
    ImportStore(store, ParseJson(before, "before"), {});  // back to a store that exports
    return 0;
  }
  const std::string exported = DumpJson(ExportStore(store), -1);
  ImportStore(store, ParseJson(exported, "export"), {});
  Check(DumpJson(ExportStore(store), -1) == exported);
  return 0;
}
