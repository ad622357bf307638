// Mail cards: sending a stored mail card from a page's "mailto" link.
//
// NOT BUILT YET: mail cards come with the mail card work. Until then no
// mail is composed and the page processing never ends at a mail step.
#include "addon/BHO/BHOUnit.h"

namespace qm {

void TVxBrowserHelperObject::SendMailCardCommand(const std::u16string&, const std::u16string&) {}

bool TVxBrowserHelperObject::SendStoredMailCard(const ComPtr<PageBrowser>&) {
  return false;
}

}  // namespace qm
