// Saving submitted forms, the card commands and the page note.
//
// NOT BUILT YET: saving forms as cards, the unsaved-post question,
// saving a recording, the default and delete card commands and the page
// note come with the saving work. Until then each operation below does
// the least that keeps the rest honest: nothing is saved or asked, and no
// page shows a note. OnFormSubmitted is complete: it is what keeps one
// submission from being handled twice.
#include "addon/BHO/BHOUnit.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/VxSystem.h"

namespace qm {

void TVxBrowserHelperObject::SaveForms(TFormItem*) {}

void TVxBrowserHelperObject::OnFormSubmitted(TFormItem& item) {
  Reported(loc::OnFormSubmitted, [&] {
    // A submission the helper object makes itself (auto submit) is no
    // user's; the flag ends with the navigation's BeforeNavigate2.
    if (submitInProgress_) return;
    submitInProgress_ = true;
    SaveForms(&item);
  });
}

void TVxBrowserHelperObject::AskSaveSubmission() {}

void TVxBrowserHelperObject::SaveNavigations(const std::u16string&, const Variant&) {}

void TVxBrowserHelperObject::SetDefaultCardCommand(const std::u16string&, const std::u16string&) {}

void TVxBrowserHelperObject::DeleteCardCommand(const std::u16string&, const std::u16string&) {}

void TVxBrowserHelperObject::UpdatePageNote(bool) {
  agent_->SetNoteText(u"");
}

}  // namespace qm
