// The manager's operations that read bytes from callers: transit form sets
// (MatchPageForms, FindFormSet, SaveFormSet) and string lists
// (TranslateStrings). Any bytes are answered, as a result or as a failure
// status with error information; nothing crashes and nothing half-written
// stays behind.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "manager/recognition/DefaultContent.h"
#include "manager/service/QoraManager.h"
#include "platform/com/ErrorInfo.h"

namespace {

using namespace qm::manager;
using qm::platform::Variant;

void Check(bool ok) {
  if (!ok) std::abort();
}

qm::platform::ComPtr<TQoraManager>& Manager() {
  static auto manager = qm::platform::MakeCom<TQoraManager>(
      std::make_unique<TManagerStore>(":memory:", &DefaultContent()));
  return manager;
}

void Answered(qm::HRESULT status) {
  if (qm::platform::Failed(status)) Check(qm::platform::TakeErrorInfo().has_value());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TQoraManager& manager = *Manager();
  const Variant bytes = Variant::FromBytes(std::vector<uint8_t>(data, data + size));
  Variant matches, translated;
  qm::String line, name;
  bool hasMatch = false, saved = false, passwordNeeded = false;
  Answered(manager.MatchPageForms(u"https://a.example", bytes, matches, line, hasMatch));
  Answered(manager.FindFormSet(u"https://a.example", bytes, name));
  Answered(manager.TranslateStrings(bytes, translated));
  const qm::HRESULT status =
      manager.SaveFormSet(u"https://a.example", u"Fuzz", u"", bytes, saved, passwordNeeded);
  Answered(status);
  if (saved) {
    Variant loaded;
    Check(manager.LoadFormSet(u"https://a.example", u"Fuzz", loaded, passwordNeeded) == 0);
    Check(loaded == bytes);
    Answered(manager.MatchPageForms(u"https://b.example", bytes, matches, line, hasMatch));
    Check(hasMatch);  // a stored form always scores 100 against itself
    Check(manager.DeleteCard(u"https://a.example", u"Fuzz", passwordNeeded) == 0);
  }
  return 0;
}
