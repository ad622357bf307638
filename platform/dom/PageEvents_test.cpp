#include "platform/dom/PageEvents.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/dom/PageBrowser.h"
#include "platform/rtl/Exception.h"

namespace qm::platform {
namespace {

// A source that counts its connections and can refuse to disconnect.
class CountingSource final : public ComObject<PageEventSource> {
public:
  uint32_t Advise(const ComPtr<PageEventSink>& sink) override {
    sinks_[++next_] = sink;
    return next_;
  }
  void Unadvise(uint32_t cookie) override {
    if (ThrowOnUnadvise) throw Exception(u"gone");
    sinks_.erase(cookie);
  }
  size_t Count() const { return sinks_.size(); }
  bool ThrowOnUnadvise = false;

private:
  std::map<uint32_t, ComPtr<PageEventSink>> sinks_;
  uint32_t next_ = 0;
};

TEST(SinkConnection, DisconnectsOnDestructionAndMoveAndForgetsTheSource) {
  auto source = MakeCom<CountingSource>();
  auto sink = MakePageEventSink([](auto, auto&) { return true; });
  {
    PageEventConnection a;
    a.Connect(ComPtr<PageEventSource>(source.Get()), sink);
    EXPECT_EQ(source->Count(), 1u);
    PageEventConnection b = std::move(a);
    EXPECT_FALSE(a.Connected());
    EXPECT_TRUE(b.Connected());
    b.Connect(ComPtr<PageEventSource>(source.Get()), sink);  // reconnecting drops the old one
    EXPECT_EQ(source->Count(), 1u);
  }
  EXPECT_EQ(source->Count(), 0u);
  EXPECT_EQ(source->RefCount(), 1u);  // nothing holds the source any more
}

TEST(SinkConnection, AFailingUnadviseStillLeavesItDisconnected) {
  auto source = MakeCom<CountingSource>();
  PageEventConnection c;
  c.Connect(ComPtr<PageEventSource>(source.Get()),
            MakePageEventSink([](auto, auto&) { return true; }));
  source->ThrowOnUnadvise = true;
  EXPECT_NO_THROW(c.Disconnect());
  EXPECT_FALSE(c.Connected());
  EXPECT_FALSE(c.ConnectedSource());
}

TEST(BrowserEventHandlers, UnsetHandlersAreSkippedAndSetOnesGetTheSender) {
  auto handlers = MakeCom<BrowserEventHandlers>();
  bool cancel = false;
  ComPtr<PageBrowser> none;
  EXPECT_NO_THROW(handlers->BeforeNavigate2(none, u"x", 0, u"", {}, u"", cancel));
  BrowserEventHandlers* sender = nullptr;
  handlers->OnBeforeNavigate2 = [&](BrowserEventHandlers& self, auto&, auto&, auto, auto&, auto&,
                                    auto&, bool& c) {
    sender = &self;
    c = true;
  };
  handlers->BeforeNavigate2(none, u"x", 0, u"", {}, u"", cancel);
  EXPECT_TRUE(cancel);
  EXPECT_EQ(sender, handlers.Get());
  EXPECT_EQ(PageEventName(PageEventType::PropertyChange), u"propertychange");
}

}  // namespace
}  // namespace qm::platform
