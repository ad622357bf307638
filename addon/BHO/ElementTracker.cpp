#include "addon/BHO/ElementTracker.h"

#include <utility>

#include "addon/BHO/FillFormUtils.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/OwnedCollection.h"
#include "core/Common/TextUtils.h"
#include "core/Common/VxSystem.h"

namespace qm {

using platform::PageEvent;
using platform::PageEventSink;
using platform::PageEventSource;
using platform::PageEventType;
using platform::PageInputElement;
using platform::PageTextAreaElement;
using platform::Variant;

// The event sink connected to one tracked control: an input sink or a
// textarea sink (propertychange: compare the value) or a select sink
// (change). It reaches its TElementChangingSink only until Cut.
class TElementChangeEvents final : public platform::ComObject<PageEventSink> {
public:
  enum class TKind : uint8_t { Input, TextArea, Select };
  TElementChangeEvents(TElementChangingSink* owner, TKind kind) : owner_(owner), kind_(kind) {}

  void Cut() noexcept { owner_ = nullptr; }

  bool HandleEvent(PageEventType type, const ComPtr<PageEvent>&) override {
    if (owner_ == nullptr) return true;
    // Removing the mark detaches the owner, which drops its reference to
    // this object; an engine need not hold one while it calls us.
    const ComPtr<TElementChangeEvents> self(this);
    switch (kind_) {
      case TKind::Input:
        if (type == PageEventType::PropertyChange) owner_->CompareValue(loc::InputChangeHandler);
        break;
      case TKind::TextArea:
        if (type == PageEventType::PropertyChange) {
          owner_->CompareValue(loc::TextAreaChangeHandler);
        }
        break;
      case TKind::Select:
        if (type == PageEventType::Change) owner_->OnValueChanged();
        break;
    }
    return true;
  }

private:
  TElementChangingSink* owner_;
  TKind kind_;
};

namespace {

std::u16string ControlValue(const ComPtr<PageElement>& control) {
  if (auto input = control.As<PageInputElement>()) return input->value();
  if (auto textarea = control.As<PageTextAreaElement>()) return textarea->value();
  return {};
}

// The number in control's "SinkID"; -1 when it carries none.
int32_t SinkIDOf(const ComPtr<PageElement>& control) {
  const Variant id = control->getAttribute(SinkIDAttribute);
  if (id.GetKind() == Variant::Kind::Int32) return id.AsInt32();
  int32_t number = -1;
  if (id.GetKind() == Variant::Kind::String && TryTextToInt(id.AsString(), number)) return number;
  return -1;
}

}  // namespace

// --- TElementChangingSink ---

TElementChangingSink::TElementChangingSink(TElementChangingTracker& tracker) : tracker_(tracker) {}

TElementChangingSink::~TElementChangingSink() {
  Swallowed([&] { Reported(loc::SinkDestroy, [&] { Detach(); }); });
}

bool TElementChangingSink::Attach(const ComPtr<PageElement>& control, int32_t& lastSinkID) {
  return Reported(loc::SinkAttach, [&] {
    Detach();
    if (!control) return false;
    bool attached = false;
    Swallowed([&] {
      const std::u16string tag = AsciiLowerCase(control->tagName());
      TElementChangeEvents::TKind kind;
      if (tag == u"input") {
        kind = TElementChangeEvents::TKind::Input;
        RememberedValue = fill_detail::RequireView<PageInputElement>(control)->value();
      } else if (tag == u"select") {
        kind = TElementChangeEvents::TKind::Select;
      } else if (tag == u"textarea") {
        kind = TElementChangeEvents::TKind::TextArea;
        RememberedValue = fill_detail::RequireView<PageTextAreaElement>(control)->value();
      } else {
        return;
      }
      Reported(loc::SinkCreate,
               [&] { events_ = platform::MakeCom<TElementChangeEvents>(this, kind); });
      control_ = control;
      connection_.Connect(ComPtr<PageEventSource>(control), ComPtr<PageEventSink>(events_.Get()));
      control->setAttribute(SinkIDAttribute, Variant::FromInt32(++lastSinkID));
      attached = true;
    });
    return attached;
  });
}

void TElementChangingSink::Detach() {
  Reported(loc::SinkDetach, [&] {
    if (events_) events_->Cut();
    connection_.Disconnect();
    events_ = nullptr;
    control_ = nullptr;
  });
}

int32_t TElementChangingSink::GetSinkID() {
  return Reported(loc::SinkGetSinkID, [&] {
    if (!Connected() || !control_) return -1;
    return SinkIDOf(control_);
  });
}

void TElementChangingSink::CompareValue(int code) {
  Reported(code, [&] {
    if (!control_) return;
    if (ControlValue(control_) != RememberedValue) OnValueChanged();
  });
}

void TElementChangingSink::OnValueChanged() {
  Reported(loc::SinkOnValueChanged, [&] {
    if (!Connected()) return;
    // Unmarking untracks, which detaches this sink and forgets the control.
    const ComPtr<PageElement> control = control_;
    MarkBoundElement(control, std::u16string(), tracker_);
  });
}

// --- TElementChangingTracker ---

TElementChangingTracker::TElementChangingTracker() = default;

TElementChangingTracker::~TElementChangingTracker() {
  Clear();
}

void TElementChangingTracker::Track(const ComPtr<PageElement>& control) {
  Reported(loc::TrackerTrack, [&] {
    auto sink = std::make_unique<TElementChangingSink>(*this);
    if (sink->Attach(control, LastSinkID)) sinks_.push_back(std::move(sink));
  });
}

void TElementChangingTracker::Untrack(const ComPtr<PageElement>& control) {
  Reported(loc::TrackerUntrack, [&] {
    if (!control) return;
    const int32_t number = SinkIDOf(control);
    if (number < 0) return;
    for (const auto& sink : sinks_) {
      if (sink->GetSinkID() == number) {
        sink->Detach();
        return;
      }
    }
  });
}

TElementChangingSink& TElementChangingTracker::Items(int index) {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  return *sinks_[static_cast<size_t>(index)];
}

void TElementChangingTracker::Delete(int index) {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  sinks_.erase(sinks_.begin() + index);
}

void TElementChangingTracker::Clear() noexcept {
  sinks_.clear();
}

}  // namespace qm
