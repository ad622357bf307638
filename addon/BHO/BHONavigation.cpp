// Click recording and the playback of navigation cards.
//
// NOT BUILT YET: recording clicks and playing navigation cards come with
// the click recording work. Until then no click is recorded, no card is
// played, and the page processing never ends at a playback step.
#include "addon/BHO/BHOUnit.h"

namespace qm {

void TVxBrowserHelperObject::OnDocumentClick(const ComPtr<PageEvent>&) {}
void TVxBrowserHelperObject::OnDocumentMouseDown(const ComPtr<PageEvent>&) {}
void TVxBrowserHelperObject::OnDocumentMouseUp(const ComPtr<PageEvent>&) {}

void TVxBrowserHelperObject::PlayNavigationCard(const std::u16string&, const std::u16string&) {}

bool TVxBrowserHelperObject::PlayStoredNavigation(const ComPtr<PageBrowser>&) {
  return false;
}

}  // namespace qm
