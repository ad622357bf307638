#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <stdexcept>
#include <thread>

#include "platform/com/ConnectionPoints.h"
#include "platform/com/PendingEvents.h"

namespace qm::platform {
namespace {

using namespace std::chrono_literals;

constexpr IID EventsIid = MakeGuid("{22222222-0000-0000-0000-000000000001}");

// A sink that records its calls and runs an optional action inside Invoke.
class RecordingSink final : public ComObject<IDispatch> {
public:
  struct Seen {
    DISPID Id;
    uint16_t Flags;
    std::thread::id Thread;
  };

  HRESULT GetTypeInfoCount(uint32_t& count) override {
    count = 0;
    return S_OK;
  }
  HRESULT GetIDsOfNames(const std::vector<std::u16string>&, std::vector<DISPID>&) override {
    return E_NOTIMPL;
  }
  HRESULT Invoke(DISPID id, uint16_t flags, const DispParams&, Variant*) override {
    seen.push_back({id, flags, std::this_thread::get_id()});
    if (action) action();
    return answer;
  }

  std::vector<Seen> seen;
  std::function<void()> action;
  HRESULT answer = S_OK;

protected:
  void* QueryExtraInterface(const IID& iid) override {
    return iid == EventsIid ? static_cast<IDispatch*>(this) : nullptr;
  }
};

uint32_t AdviseOrFail(TConnectionPoint& point, const ComPtr<RecordingSink>& sink) {
  uint32_t cookie = 0;
  EXPECT_EQ(point.Advise(sink.Get(), cookie), S_OK);
  return cookie;
}

TEST(PendingEvents, RunsOnlyWhatWasQueuedBeforeProcessingStarted) {
  std::vector<int> ran;
  const ThreadEventTarget self = CurrentThreadEvents();
  PostThreadEvent(self, [&] {
    ran.push_back(1);
    PostThreadEvent(self, [&] { ran.push_back(3); });  // posted while processing
  });
  PostThreadEvent(self, [&] { throw std::runtime_error("one bad event"); });
  PostThreadEvent(self, [&] { ran.push_back(2); });
  EXPECT_EQ(ProcessPendingEvents(), 3);
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
  EXPECT_TRUE(HasPendingEvents());
  EXPECT_EQ(ProcessPendingEvents(), 1);
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
  EXPECT_FALSE(HasPendingEvents());
}

TEST(PendingEvents, WaitReturnsWhenAnotherThreadPostsAndTimesOutOtherwise) {
  EXPECT_FALSE(WaitForPendingEvents(1ms));
  bool ran = false;
  std::thread poster(
      [target = CurrentThreadEvents(), &ran] { PostThreadEvent(target, [&ran] { ran = true; }); });
  EXPECT_TRUE(WaitForPendingEvents(10s));
  poster.join();
  EXPECT_FALSE(ran);  // waiting runs nothing
  ProcessPendingEvents();
  EXPECT_TRUE(ran);
}

TEST(PendingEvents, PostToAnEndedThreadFailsAndWakeupFollowsEachPost) {
  ThreadEventTarget ended;
  std::thread([&] { ended = CurrentThreadEvents(); }).join();
  EXPECT_FALSE(ended.Alive());
  EXPECT_FALSE(PostThreadEvent(ended, [] {}));
  EXPECT_FALSE(PostThreadEvent(ThreadEventTarget{}, [] {}));

  int wakeups = 0;
  SetPendingEventsWakeup([&] { ++wakeups; });
  EXPECT_TRUE(PostThreadEvent(CurrentThreadEvents(), [] {}));
  EXPECT_EQ(wakeups, 1);
  SetPendingEventsWakeup({});
  ProcessPendingEvents();
}

TEST(ConnectionPoints, AdviseNeedsTheOutgoingInterfaceAndUnadviseKnowsItsCookies) {
  TConnectionPointList points;
  TConnectionPoint& point = points.Add(EventsIid);
  auto sink = MakeCom<RecordingSink>();
  const uint32_t first = AdviseOrFail(point, sink);
  const uint32_t second = AdviseOrFail(point, sink);
  EXPECT_NE(first, 0u);
  EXPECT_NE(first, second);
  EXPECT_EQ(point.ConnectionCount(), 2);

  struct Plain : ComObject<IDispatch> {
    HRESULT GetTypeInfoCount(uint32_t&) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(const std::vector<std::u16string>&, std::vector<DISPID>&) override {
      return E_NOTIMPL;
    }
    HRESULT Invoke(DISPID, uint16_t, const DispParams&, Variant*) override { return S_OK; }
  };
  uint32_t cookie = 7;
  EXPECT_EQ(point.Advise(MakeCom<Plain>().Get(), cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);

  EXPECT_EQ(point.Unadvise(first), S_OK);
  EXPECT_EQ(point.Unadvise(first), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(point.ConnectionCount(), 1);
  EXPECT_EQ(sink->RefCount(), 2u);  // ours and the remaining connection's

  ComPtr<IConnectionPoint> found;
  EXPECT_EQ(points.FindConnectionPoint(EventsIid, found), S_OK);
  EXPECT_EQ(found.Get(), static_cast<IConnectionPoint*>(&point));
  EXPECT_EQ(points.FindConnectionPoint(MakeGuid("{22222222-0000-0000-0000-000000000009}"), found),
            CONNECT_E_NOCONNECTION);
  EXPECT_FALSE(found);
}

TEST(ConnectionPoints, SinksThatFailOrUnadviseDuringAFireDoNotBreakTheWalk) {
  auto point = MakeCom<TConnectionPoint>(EventsIid);
  auto failing = MakeCom<RecordingSink>();
  auto leaving = MakeCom<RecordingSink>();
  auto dropped = MakeCom<RecordingSink>();
  auto last = MakeCom<RecordingSink>();
  failing->answer = E_FAIL;
  failing->action = [] { throw std::runtime_error("sink blew up"); };
  AdviseOrFail(*point, failing);
  const uint32_t leavingCookie = AdviseOrFail(*point, leaving);
  const uint32_t droppedCookie = AdviseOrFail(*point, dropped);
  AdviseOrFail(*point, last);
  // The second sink unadvises itself and the third: the third must not be
  // called any more, the fourth still must.
  leaving->action = [&] {
    point->Unadvise(leavingCookie);
    point->Unadvise(droppedCookie);
  };
  leaving.Reset();  // only the connection holds it now

  EXPECT_EQ(point->Fire(203, {}), 3);
  EXPECT_EQ(failing->seen.size(), 1u);
  EXPECT_TRUE(dropped->seen.empty());
  ASSERT_EQ(last->seen.size(), 1u);
  EXPECT_EQ(last->seen[0].Id, 203);
  EXPECT_EQ(last->seen[0].Flags, DISPATCH_METHOD);
  EXPECT_EQ(point->ConnectionCount(), 2);
}

TEST(ConnectionPoints, PostDeliversOnTheAdvisingThreadWhenItProcessesItsEvents) {
  auto point = MakeCom<TConnectionPoint>(EventsIid);
  auto sink = MakeCom<RecordingSink>();
  auto gone = MakeCom<RecordingSink>();
  std::thread::id workerId;
  std::promise<void> advised, posted;
  std::thread worker([&] {
    workerId = std::this_thread::get_id();
    AdviseOrFail(*point, sink);
    advised.set_value();
    posted.get_future().wait();
    EXPECT_TRUE(WaitForPendingEvents(10s));
    ProcessPendingEvents();
  });
  advised.get_future().wait();
  const uint32_t goneCookie = AdviseOrFail(*point, gone);  // on this thread

  EXPECT_EQ(point->Post(202, {}), 2);
  EXPECT_TRUE(sink->seen.empty());
  point->Unadvise(goneCookie);  // disconnected before its delivery ran
  ProcessPendingEvents();
  EXPECT_TRUE(gone->seen.empty());
  posted.set_value();
  worker.join();
  ASSERT_EQ(sink->seen.size(), 1u);
  EXPECT_EQ(sink->seen[0].Id, 202);
  EXPECT_EQ(sink->seen[0].Thread, workerId);
}

}  // namespace
}  // namespace qm::platform
