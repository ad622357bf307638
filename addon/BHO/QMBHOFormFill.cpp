// Form items: filling the form (from a stored card, from a form set, from
// the manager's profile values) and clearing it.
#include <string>

#include "addon/BHO/FillFormUtils.h"
#include "addon/BHO/QMBHOTypes.h"
#include "addon/Common/QuillmateAgent.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/TextUtils.h"
#include "core/Common/VxSystem.h"
#include "core/Common/WideStrings.h"
#include "platform/com/OleException.h"

namespace qm {

using platform::ElementCollection;
using platform::PageFormElement;
using platform::PageInputElement;
using platform::PageTextAreaElement;

namespace {

// The form's controls of one tag; none for an element that is no form.
ComPtr<ElementCollection> FormTags(const ComPtr<PageElement>& form, std::u16string_view tag) {
  const auto view = form.As<PageFormElement>();
  return view ? view->tags(tag) : nullptr;
}

// Runs body for every element of the collection, each in its own guard.
template <class F>
void ForEachControl(const ComPtr<ElementCollection>& controls, F&& body) {
  if (!controls) return;
  const int32_t length = controls->length();
  for (int32_t i = 0; i < length; ++i) {
    Swallowed([&] {
      if (const ComPtr<PageElement> control = controls->item(i)) body(control);
    });
  }
}

// What ResolveField answers for one control.
struct TResolved {
  std::u16string ProfileField;
  int32_t ValueKind = ValueKindLiteral;
  std::u16string Value;
  std::u16string Values;
  bool Found = false;
  bool PasswordNeeded = false;
};

TResolved Resolve(IQoraServer& server, const std::u16string& profile, const std::u16string& tag,
                  const std::u16string& type, const std::u16string& name) {
  TResolved r;
  platform::OleCheck(server.ResolveField(profile, tag, type, name, r.ProfileField, r.ValueKind,
                                         r.Value, r.Values, r.Found, r.PasswordNeeded));
  return r;
}

bool SkippedInputType(const std::u16string& type) {
  return type == u"hidden" || type == u"submit" || type == u"reset" || type == u"file" ||
         type == u"button";
}

}  // namespace

bool TFormItem::FillFromCard(TQuillmateAgent& agent, const TTransitFormCard& card) {
  return Reported(loc::FormItemFillFromCard, [&] {
    submitter_ = nullptr;
    const TCardFillResult result =
        FillFormFromCard(formElement_, card, changeTracker_, agent.Lexicon());
    submitter_ = result.SubmitControl;
    Filled = result.Complete;
    SetCurrent(card.CurrentForm);
    return Filled;
  });
}

void TFormItem::FillFromSet(TQuillmateAgent& agent, const TTransitFormSet& set, bool onlyEmpty) {
  FillFormFromSet(formElement_, set, agent.Lexicon(), changeTracker_, onlyEmpty);
}

void TFormItem::FillFromManager(TQuillmateAgent& agent, const std::u16string& profile,
                                bool onlyEmpty) {
  Reported(loc::FormItemFillFromManager, [&] {
    // The log-in probe: a protected profile answers nothing before it.
    ComPtr<IQoraServer> server = agent.GetServer();
    for (;;) {
      if (!server) return;
      if (!Resolve(*server, profile, u"", u"", u"").PasswordNeeded) break;
      if (!agent.Login()) return;
      server = agent.GetServer();
    }
    const ComPtr<PageElement> form = formElement_;
    const bool autoBind = agent.AutoBind();
    // Fills control with what the manager answered and marks it when bound.
    const auto fill = [&](const ComPtr<PageElement>& control, const std::u16string& tag,
                          const std::u16string& type, const std::u16string& name) {
      const TResolved r = Resolve(*server, profile, tag, type, name);
      if (!r.Found) return;
      const TValueList values = ParseCommaText(r.Values);
      bool filled = false;
      if (tag == u"input") {
        filled = FillInput(control, r.ValueKind, r.Value, values);
      } else if (tag == u"select") {
        filled = FillSelect(control, r.ValueKind, r.Value, agent.Lexicon(), values);
      } else {
        filled = FillTextArea(control, r.ValueKind, r.Value, values);
      }
      if (filled && autoBind && !r.ProfileField.empty()) {
        MarkBoundElement(control, r.ProfileField, changeTracker_);
      }
    };
    ForEachControl(FormTags(form, u"input"), [&](const ComPtr<PageElement>& control) {
      const auto input = fill_detail::RequireView<PageInputElement>(control);
      const std::u16string type = AsciiLowerCase(input->type());
      if (SkippedInputType(type)) return;
      if (onlyEmpty && !Trim(input->value()).empty()) return;
      fill(control, u"input", type, input->name());
    });
    ForEachControl(FormTags(form, u"select"), [&](const ComPtr<PageElement>& control) {
      const TSelectInfo info = GetSelectInfo(control);
      // A select still showing the page's own choice counts as unfilled.
      if (onlyEmpty && !info.Value.empty() && !info.DefaultSelected) return;
      fill(control, u"select", u"", info.Name);
    });
    ForEachControl(FormTags(form, u"textarea"), [&](const ComPtr<PageElement>& control) {
      const auto textarea = fill_detail::RequireView<PageTextAreaElement>(control);
      if (onlyEmpty && !Trim(textarea->value()).empty()) return;
      fill(control, u"textarea", u"", textarea->name());
    });
  });
}

void TFormItem::ClearValues() {
  Reported(loc::FormItemClearValues, [&] {
    const ComPtr<PageElement> form = formElement_;
    ForEachControl(FormTags(form, u"input"), [&](const ComPtr<PageElement>& control) {
      const auto input = fill_detail::RequireView<PageInputElement>(control);
      const std::u16string type = AsciiLowerCase(input->type());
      if (type == u"checkbox" || type == u"radio") {
        input->setChecked(false);
      } else if (fill_detail::TakesText(type)) {
        // The same types a fill writes text into.
        input->setValue(u"");
      } else {
        return;  // hidden inputs, buttons and the like keep what they hold
      }
      MarkBoundElement(control, u"", changeTracker_);
    });
    ForEachControl(FormTags(form, u"select"), [&](const ComPtr<PageElement>& control) {
      ClearSelection(control);
      MarkBoundElement(control, u"", changeTracker_);
    });
    ForEachControl(FormTags(form, u"textarea"), [&](const ComPtr<PageElement>& control) {
      fill_detail::RequireView<PageTextAreaElement>(control)->setValue(u"");
      MarkBoundElement(control, u"", changeTracker_);
    });
  });
}

}  // namespace qm
