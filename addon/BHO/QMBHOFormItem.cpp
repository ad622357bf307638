// Form items: binding to the live form, its events, the card of the form,
// submitting it; and the page form set. The fills are in QMBHOFormFill.cpp.
#include <utility>

#include "addon/BHO/FillFormUtils.h"
#include "addon/BHO/QMBHOTypes.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/TextUtils.h"
#include "core/Common/VxSystem.h"

namespace qm {

using platform::PageButtonElement;
using platform::PageEventType;
using platform::PageFormElement;
using platform::PageInputElement;

// --- TFormItem ---

TFormItem::TFormItem() {
  Reported(loc::FormItemCreate, [&] {
    formEvents_.SetOnEvent([this](PageEventType type, const ComPtr<PageEvent>& event) {
      // The item may be deleted by what its own event starts; a weak
      // reference taken here keeps it for the call.
      const std::shared_ptr<TFormItem> self = weak_from_this().lock();
      if (!self) return true;
      if (type == PageEventType::MouseDown) {
        OnFormMouseDown(event);
        return true;
      }
      if (type == PageEventType::Submit) return OnFormSubmit();
      return true;
    });
  });
}

TFormItem::~TFormItem() {
  Swallowed([&] { Reported(loc::FormItemDestroy, [&] { Detach(); }); });
}

void TFormItem::Detach() noexcept {
  Swallowed([&] { Reported(loc::FormItemDisconnectSink, [&] { formEvents_.Disconnect(); }); });
  formElement_ = nullptr;
  submitter_ = nullptr;
  current_ = false;
  OnSubmitted = nullptr;
  changeTracker_.Clear();
  owner_ = nullptr;
}

void TFormItem::AttachForm(const ComPtr<PageElement>& form) {
  Reported(loc::FormItemAttachForm, [&] {
    Swallowed([&] { Reported(loc::FormItemDisconnectSink, [&] { formEvents_.Disconnect(); }); });
    formElement_ = form;
    const auto view = form.As<PageFormElement>();
    if (!view) return;
    formEvents_.Connect(ComPtr<PageEventSource>(form.Get()));
    const std::u16string method = AsciiLowerCase(view->method());
    Method = method.empty() ? u"get" : method;
  });
}

void TFormItem::SetActionUrl(const std::u16string& url) {
  Reported(loc::FormItemSetActionUrl, [&] { ActionUrl = url; });
}

void TFormItem::SetCurrent(bool current) {
  if (current == current_) return;
  if (current && owner_ != nullptr) {
    for (const auto& other : owner_->Snapshot()) {
      if (other.get() != this) other->SetCurrent(false);
    }
  }
  current_ = current;
  if (!current) submitter_ = nullptr;
}

ComPtr<PageElement> TFormItem::GetSubmitter() {
  return Reported(loc::FormItemGetSubmitter, [&] { return submitter_; });
}

void TFormItem::Submit(const ComPtr<PageElement>& element) {
  Swallowed([&] {
    Reported(loc::FormItemSubmit, [&] {
      if (GetSubmitter()) {
        if (element) element->click();
        return;
      }
      if (const auto form = formElement_.As<PageFormElement>()) form->submit();
    });
  });
}

platform::GUID TFormItem::GetFormSysID() {
  return Reported(loc::FormItemGetFormSysID, [&] {
    std::u16string text;
    if (!formElement_ || !GetAttributeText(formElement_, FormSysIDAttribute, text)) {
      return platform::GUID_NULL;
    }
    return platform::TryParseGuid(Trim(text)).value_or(platform::GUID_NULL);
  });
}

void TFormItem::BuildCard(TTransitFormCard& card, uint32_t parts) {
  Reported(loc::FormItemBuildCard, [&] {
    card.Url = (parts & CardPartUrl) != 0 ? ActionUrl : std::u16string();
    card.Method = (parts & CardPartMethod) != 0 ? Method : std::u16string();
    card.Charset.clear();
    if ((parts & CardPartCharset) != 0 && formElement_) {
      Swallowed([&] {
        if (const auto document = formElement_->document()) card.Charset = document->charset();
      });
    }
    card.FormHtml = (parts & CardPartFormHtml) != 0 && formElement_ ? formElement_->innerHTML()
                                                                    : std::u16string();
    card.CurrentForm = current_;
    card.FormSysID = GetFormSysID();
    ReadFormFields(formElement_, submitter_, card);
  });
}

void TFormItem::BuildProbe(TTransitFormCard& card) {
  Reported(loc::FormItemBuildCard, [&] {
    card.Url = ActionUrl;
    card.Method = Method;
    card.Charset.clear();
    card.FormHtml.clear();
    card.CurrentForm = current_;
    card.FormSysID = GetFormSysID();
    ReadFormShape(formElement_, submitter_, card);
  });
}

ComPtr<PageElement> TFormItem::EventSource(const ComPtr<PageEvent>& event) {
  // The event object the form's window dispatches, as the page sees it.
  ComPtr<PageEvent> current;
  Swallowed([&] {
    if (const auto document = formElement_ ? formElement_->document() : nullptr) {
      if (const auto window = document->parentWindow()) current = window->event();
    }
  });
  if (!current) current = event;
  return current ? current->srcElement() : nullptr;
}

void TFormItem::OnFormMouseDown(const ComPtr<PageEvent>& event) {
  const ComPtr<PageElement> source = EventSource(event);
  if (!source) return;
  const std::u16string tag = AsciiLowerCase(source->tagName());
  if (tag == u"input") {
    const auto input = source.As<PageInputElement>();
    const std::u16string type = input ? AsciiLowerCase(input->type()) : std::u16string();
    if (type == u"submit" || type == u"image" || type == u"button") submitter_ = source;
  } else if (tag == u"button") {
    const auto button = source.As<PageButtonElement>();
    if (button && AsciiLowerCase(button->type()) == u"submit") submitter_ = source;
  }
}

bool TFormItem::OnFormSubmit() {
  return Reported(loc::FormItemOnFormSubmit, [&] {
    SetCurrent(true);
    if (OnSubmitted) {
      const TSubmittedEvent notify = OnSubmitted;  // the item may be detached by it
      notify(*this);
    }
    return true;
  });
}

// --- TPageFormSet ---

TPageFormSet::~TPageFormSet() {
  Clear();
}

TFormItem& TPageFormSet::Items(int index) const {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  return *items_[static_cast<size_t>(index)];
}

TFormItem& TPageFormSet::Add(int32_t formId) {
  auto item = std::make_shared<TFormItem>();
  item->owner_ = this;
  item->FormId = formId;
  byFormId_.emplace(formId, item.get());
  items_.push_back(std::move(item));
  return *items_.back();
}

void TPageFormSet::Delete(int index) {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  const std::shared_ptr<TFormItem> item = items_[static_cast<size_t>(index)];
  items_.erase(items_.begin() + index);
  const auto found = byFormId_.find(item->FormId);
  if (found != byFormId_.end() && found->second == item.get()) {
    byFormId_.erase(found);
    // Another form may share the number (markup can carry one twice).
    for (const auto& other : items_) {
      if (other->FormId == item->FormId) {
        byFormId_.emplace(other->FormId, other.get());
        break;
      }
    }
  }
  item->Detach();
}

void TPageFormSet::Clear() noexcept {
  std::vector<std::shared_ptr<TFormItem>> old = std::move(items_);
  items_.clear();
  byFormId_.clear();
  for (const auto& item : old)
    item->Detach();
}

TFormItem* TPageFormSet::FindFormId(int32_t formId) const {
  const auto found = byFormId_.find(formId);
  return found == byFormId_.end() ? nullptr : found->second;
}

void TPageFormSet::BuildTransitSet(TTransitFormSet& set, uint32_t parts) const {
  set.Clear();
  for (const auto& item : Snapshot()) {
    TTransitFormCard& card = set.Add();
    item->BuildCard(card, parts);
  }
  if (set.Count() == 1) set[0].CurrentForm = true;
}

}  // namespace qm
