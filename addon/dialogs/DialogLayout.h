// Small layout helpers the dialogs share. Runs on the dialog's thread.
#pragma once

#include <initializer_list>

#include "platform/ui/Controls.h"

namespace qm {

// Places buttons of one size side by side at the right of a container that
// already has its size, in the given order, gap pixels apart and margin
// pixels from the right edge, vertically centred; they keep to the right
// edge when the container is resized.
void PlaceButtonsRight(platform::ui::TWinControl& container,
                       std::initializer_list<platform::ui::TButton*> buttons, int width, int height,
                       int gap, int margin);

// Makes ok the default button ending the dialog with mrOk (captioned
// okCaption) and cancel the cancel button "Cancel" ending it with mrCancel.
void MakeOkCancelPair(platform::ui::TButton& ok, const char16_t* okCaption,
                      platform::ui::TButton& cancel);

}  // namespace qm
