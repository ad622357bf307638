#include "addon/BHO/MSHTMLEvents.h"

#include <utility>

namespace qm {

// The COM sink the page holds. It calls its function through a shared
// reference of its own, so that the function outlives an owner destroyed
// in the middle of the call.
class THTMLEventSink::TRelay final : public platform::ComObject<platform::PageEventSink> {
public:
  void Set(TEventFunction function) {
    function_ = function ? std::make_shared<const TEventFunction>(std::move(function)) : nullptr;
  }
  bool HandleEvent(PageEventType type, const ComPtr<PageEvent>& event) override {
    const std::shared_ptr<const TEventFunction> function = function_;
    if (!function) return true;
    const ComPtr<TRelay> self(this);
    try {
      return (*function)(type, event);
    } catch (...) {
      return true;  // the page goes on
    }
  }

private:
  std::shared_ptr<const TEventFunction> function_;
};

THTMLEventSink::THTMLEventSink(TEventFunction onEvent) : relay_(platform::MakeCom<TRelay>()) {
  relay_->Set(std::move(onEvent));
}

THTMLEventSink::~THTMLEventSink() {
  Disconnect();
  relay_->Set(nullptr);
}

void THTMLEventSink::SetOnEvent(TEventFunction onEvent) {
  relay_->Set(std::move(onEvent));
}

void THTMLEventSink::Connect(const ComPtr<PageEventSource>& source) {
  connection_.Connect(source, ComPtr<platform::PageEventSink>(relay_.Get()));
}

void THTMLEventSink::Disconnect() noexcept {
  connection_.Disconnect();
}

}  // namespace qm
