// The toolbar's field commands: they act on the page control that has the
// keyboard focus. "Bind field" binds it to a profile field and fills it;
// "Unbind field" takes the mark away; "Add synonim", "Add value" and "Add
// all values" teach the manager the control's name, its value or all its
// options. The profile field is picked in the bind-field dialog and always
// named to the manager by its caption.
#include <memory>
#include <string>
#include <vector>

#include "addon/BHO/BHOUnit.h"
#include "addon/BHO/FillFormUtils.h"
#include "addon/dialogs/ProfileBindFieldUnit.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/OwnedCollection.h"
#include "core/Common/QMCommonUtils.h"
#include "core/Common/TextUtils.h"
#include "core/Common/VxSystem.h"
#include "core/Common/WideStrings.h"
#include "platform/com/ErrorInfo.h"
#include "platform/ui/Backend.h"

namespace qm {

using platform::PageDocument;
using platform::PageOptionElement;
using platform::PageSelectElement;

namespace {

constexpr char16_t WarningCaption[] = u"Warning";
constexpr char16_t CannotBindMessage[] = u"Cannot bind this field!";

// One profile field as the manager lists it.
struct TFieldDataItem {
  std::u16string Caption;  // what the user picks
  std::u16string FieldName;
  std::u16string Group;
};

bool IsField(const std::u16string& tag) {
  return tag == u"input" || tag == u"select" || tag == u"textarea";
}

// The focused control of the document that holds item's form, when it is a
// field.
ComPtr<PageElement> FocusedFieldOf(const TFormItem& item) {
  const ComPtr<PageElement>& form = item.FormElement();
  const ComPtr<PageDocument> document = form ? form->document() : nullptr;
  const ComPtr<PageElement> active = document ? document->activeElement() : nullptr;
  if (active && IsField(LowerCase(active->tagName()))) return active;
  return nullptr;
}

// The captions of a select's options, each followed by a line break; any
// other field gives its value.
std::u16string AllValuesOf(const ComPtr<PageElement>& element, const TElementInfo& info) {
  if (info.Tag != u"select") return info.Value;
  const auto select = fill_detail::RequireView<PageSelectElement>(element);
  std::u16string text;
  const int32_t count = select->length();
  for (int32_t i = 0; i < count; ++i) {
    const ComPtr<PageElement> option = select->item(i);
    const auto view = option ? option.As<PageOptionElement>() : nullptr;
    if (view) text += view->text() + u"\r\n";
  }
  return text;
}

}  // namespace

bool TVxBrowserHelperObject::FindFocusedField(std::shared_ptr<TFormItem>& item,
                                              ComPtr<PageElement>& element) {
  item = nullptr;
  element = nullptr;
  Reported(loc::FindFocusedField, [&] {
    if (!agent_->IsConnected()) return;
    RescanForms();
    // The first item of the focused control's document answers, whichever
    // form holds the control.
    for (const auto& candidate : pageForms_->Snapshot()) {
      Swallowed([&] { element = FocusedFieldOf(*candidate); });
      if (element) {
        item = candidate;
        break;
      }
    }
    if (element && LowerCase(element->tagName()) == u"input" &&
        GetTypeAttribute(element) == u"file") {
      ui::MessageBox(browserWindow_, CannotBindMessage, WarningCaption, ui::TMsgIcon::None,
                     ui::TMsgButtons::Ok);
      item = nullptr;
      element = nullptr;
    }
  });
  return element != nullptr;
}

bool TVxBrowserHelperObject::ShowBindDialog(const std::u16string& caption, std::u16string& text,
                                            std::u16string& fieldName,
                                            std::u16string& chosenCaption) {
  fieldName.clear();
  return Reported(loc::ShowBindDialog, [&] {
    std::unique_ptr<TProfileBindFieldForm> dialog;
    if (!Swallowed([&] { dialog = std::make_unique<TProfileBindFieldForm>(browserWindow_); })) {
      return false;
    }
    const ComPtr<IQoraServer> server = Server();
    if (!server) return false;
    Variant list;
    for (bool passwordNeeded = true; passwordNeeded;) {
      list = Variant();
      platform::OleCheck(server->GetProfileFields(list, passwordNeeded));
      if (passwordNeeded && !agent_->Login()) return false;
    }
    if (list.IsEmptyOrNull()) return false;
    TWideStringList texts;
    VariantToList(list, texts);
    std::vector<std::u16string> triples;
    for (int i = 0; i < texts.Count(); ++i)
      triples.push_back(texts[i]);
    TOwnedCollection<TFieldDataItem> fields;
    for (size_t i = 0; i + 2 < triples.size(); i += 3)
      fields.Add(TFieldDataItem{triples[i], triples[i + 1], triples[i + 2]});
    if (fields.Count() == 0) return false;
    if (!text.empty()) dialog->ShowSynonym(text);
    if (!chosenCaption.empty()) {
      dialog->Preselect(u"", chosenCaption);
    } else {
      dialog->Preselect(lastBindGroup_, lastBindField_);
    }
    dialog->SetCaption(caption);
    const std::u16string chosen = dialog->Execute(BuildFieldGroups(triples));
    if (chosen.empty()) return false;
    text = Trim(dialog->Synonym());
    lastBindGroup_ = dialog->GroupsComboBox.Text();
    lastBindField_ = chosen;
    for (int i = 0; i < fields.Count(); ++i) {
      if (fields[i].Caption == chosen) {
        fieldName = fields[i].FieldName;
        break;
      }
    }
    chosenCaption = chosen;
    return true;
  });
}

void TVxBrowserHelperObject::BindFieldCommand() {
  Reported(loc::BindFieldCommand, [&] {
    std::shared_ptr<TFormItem> item;
    ComPtr<PageElement> element;
    if (!Swallowed([&] { FindFocusedField(item, element); }) || !element) return;
    std::u16string chosen;
    GetAttributeText(element, ProfileFieldAttribute, chosen);
    std::u16string text;
    std::u16string fieldName;
    if (!ShowBindDialog(u"Bind field", text, fieldName, chosen)) return;
    const ComPtr<IQoraServer> server = Server();
    if (!server) return;
    const TElementInfo info = GetElementInfo(element);
    std::u16string profileField = chosen;
    int32_t kind = 0;
    std::u16string value;
    std::u16string values;
    bool found = false;
    bool passwordNeeded = false;
    platform::OleCheck(server->ResolveField(u"", info.Tag, info.Type, info.Name, profileField, kind,
                                            value, values, found, passwordNeeded));
    if (passwordNeeded || !found) return;
    // The item is held: a rescan that the dialog let run may have deleted
    // it, and the page's control is still the one to fill.
    TElementChangingTracker& tracker = item->ChangeTracker();
    MarkBoundElement(element, u"", tracker);
    if (FillElement(element, kind, value, agent_->Lexicon(), ParseCommaText(values))) {
      MarkBoundElement(element, profileField, tracker);
    }
  });
}

void TVxBrowserHelperObject::UnbindFieldCommand() {
  Swallowed([&] {
    if (!agent_->IsConnected()) return;
    ComPtr<PageElement> element;
    for (const auto& candidate : pageForms_->Snapshot()) {
      element = FocusedFieldOf(*candidate);
      if (element) break;
    }
    if (!element) return;
    SetAttributeText(element, ProfileFieldAttribute, u"");
    if (const auto style = element->style()) style->setBackgroundColor(u"");
    element->setTitle(u"");
  });
}

void TVxBrowserHelperObject::AddSynonymCommand() {
  Reported(loc::AddSynonymCommand, [&] {
    std::shared_ptr<TFormItem> item;
    ComPtr<PageElement> element;
    if (!Swallowed([&] { FindFocusedField(item, element); }) || !element) return;
    std::u16string text = GetElementInfo(element).Name;
    std::u16string fieldName;
    std::u16string chosen;
    if (!ShowBindDialog(u"Add field synonim", text, fieldName, chosen)) return;
    if (text.empty() || !agent_->IsConnected()) return;
    const ComPtr<IQoraServer> server = Server();
    if (server) platform::OleCheck(server->AddSynonym(chosen, text, -1));
  });
}

void TVxBrowserHelperObject::AddValueCommand() {
  Reported(loc::AddValueCommand, [&] {
    std::shared_ptr<TFormItem> item;
    ComPtr<PageElement> element;
    if (!Swallowed([&] { FindFocusedField(item, element); }) || !element) return;
    const TElementInfo info = GetElementInfo(element);
    std::vector<std::u16string> values;
    if (info.Tag == u"select") {
      values = ParseCommaText(GetSelectedOptionTexts(element));
    } else if (!info.Value.empty()) {
      values.push_back(info.Value);
    }
    if (values.empty()) return;
    std::u16string text = values.size() == 1 ? values.front() : CommaText(values);
    std::u16string fieldName;
    std::u16string chosen;
    if (!ShowBindDialog(u"Add field value", text, fieldName, chosen)) return;
    // The page's values go, not the edited line: a value that holds a
    // comma stays one value.
    const std::u16string value = CommaText(values);
    if (value.empty() || !agent_->IsConnected()) return;
    const ComPtr<IQoraServer> server = Server();
    if (!server) return;
    for (bool passwordNeeded = true; passwordNeeded;) {
      platform::OleCheck(server->AddFieldValue(0, chosen, value, passwordNeeded));
      if (passwordNeeded && !agent_->Login()) return;
    }
  });
}

void TVxBrowserHelperObject::AddAllValuesCommand() {
  Reported(loc::AddAllValuesCommand, [&] {
    std::shared_ptr<TFormItem> item;
    ComPtr<PageElement> element;
    if (!Swallowed([&] { FindFocusedField(item, element); }) || !element) return;
    const TElementInfo info = GetElementInfo(element);
    const std::u16string text = AllValuesOf(element, info);
    if (!agent_->IsConnected()) return;
    if (const ComPtr<IQoraServer> server = Server()) {
      if (platform::Failed(server->AddAllValues(text))) platform::ClearErrorInfo();
    }
  });
}

}  // namespace qm
