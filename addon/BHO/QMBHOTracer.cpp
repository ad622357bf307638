// The loop protection of automatic actions.
#include "addon/BHO/MSHTMLUtils.h"
#include "addon/BHO/QMBHOTypes.h"

namespace qm {

bool TAutoSubmitTracer::Register(const std::u16string& pageKey, const std::u16string& target,
                                 uint8_t kind, const std::u16string& data) {
  const TAutoSubmitItem action{kind, data, pageKey, target};
  // A new trace begins when none runs. The items of an ended trace are
  // no loop: the user's own navigation broke it.
  if (!Tracing) Clear();
  if (kind != AutoMetaRefresh) {
    for (const TAutoSubmitItem& item : *this) {
      if (item == action) return false;
    }
  }
  Tracing = true;
  // A page that refreshes itself over and over keeps its trace open; one
  // entry of that refresh says all a trace needs to know of it.
  if (kind == AutoMetaRefresh && !Empty() && (*this)[Count() - 1] == action) return true;
  Add(action);
  return true;
}

void TAutoSubmitTracer::CheckNavigation(const std::u16string& address) {
  if (!Tracing) return;
  bool keep = false;
  if (!Empty()) {
    const TAutoSubmitItem& last = (*this)[Count() - 1];
    switch (last.Kind) {
      case AutoSubmitGet:
      case AutoSubmitPost:
        // A submitted form leads to its action, whatever query it adds.
        keep = NormalizeUrl(address) == last.Target;
        break;
      case AutoNavigationStep:
      case AutoMetaRefresh:
        keep = address == last.Target;
        break;
      default:
        break;  // a mail leads nowhere
    }
  }
  if (!keep) Tracing = false;
}

}  // namespace qm
