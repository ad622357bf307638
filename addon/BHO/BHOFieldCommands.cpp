// The field binding, synonym and value commands of the toolbar.
//
// NOT BUILT YET: the commands come with the field command work; until
// then each one does nothing, as a command that finds no focused field.
#include "addon/BHO/BHOUnit.h"

namespace qm {

void TVxBrowserHelperObject::BindFieldCommand() {}
void TVxBrowserHelperObject::UnbindFieldCommand() {}
void TVxBrowserHelperObject::AddSynonymCommand() {}
void TVxBrowserHelperObject::AddValueCommand() {}
void TVxBrowserHelperObject::AddAllValuesCommand() {}

}  // namespace qm
