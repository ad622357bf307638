// Watching filled controls: a control that was filled and marked as bound to
// a profile field keeps its mark only while the user leaves its value alone.
//
// TElementChangingTracker (one per page form item) owns its
// TElementChangingSinks. Track pairs a new sink with a control: the sink
// remembers the value filled in, connects an event sink to the control
// (propertychange for inputs and textareas, change for selects) and writes
// the number it was given into the control's "SinkID" attribute. When the
// value then changes, the sink removes the control's binding mark
// (MarkBoundElement with no profile field), which untracks it. Numbers come
// from the tracker's LastSinkID, start at 1 and are never reused within one
// tracker. An untracked sink stays in the collection, disconnected; it is
// freed with the tracker.
//
// Ownership: the tracker owns its sinks; a sink owns its event sink object
// and holds its control only while connected (the page holds the event sink
// only while connected). The event sink points back at its
// TElementChangingSink and is cut off from it on Detach, so an event that
// arrives late reaches nothing.
//
// Everything here belongs to the page's user-interface thread; nothing is
// locked.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/dom/PageDocument.h"
#include "platform/dom/PageEvents.h"

namespace qm {

using platform::ComPtr;
using platform::PageElement;

class TElementChangingTracker;
class TElementChangeEvents;

// The attribute that pairs a control with its sink.
inline constexpr char16_t SinkIDAttribute[] = u"SinkID";

class TElementChangingSink {
public:
  explicit TElementChangingSink(TElementChangingTracker& tracker);
  ~TElementChangingSink();
  TElementChangingSink(const TElementChangingSink&) = delete;
  TElementChangingSink& operator=(const TElementChangingSink&) = delete;

  // The control's value when the sink was attached (inputs and textareas).
  std::u16string RememberedValue;

  // Detaches any earlier pairing, then pairs with control: false for no
  // control and for a tag other than input, select and textarea. On
  // success lastSinkID grows by one and the control carries it as
  // "SinkID". Failures after the first step give false and are dropped.
  bool Attach(const ComPtr<PageElement>& control, int32_t& lastSinkID);
  // Disconnects from the control and forgets it.
  void Detach();
  // The control's "SinkID" while connected; -1 when not connected or when
  // the control carries no number.
  int32_t GetSinkID();
  bool Connected() const noexcept { return connection_.Connected(); }
  // The control while connected, else none.
  const ComPtr<PageElement>& Control() const noexcept { return control_; }

  // The reaction to a changed value: the control loses its binding mark.
  void OnValueChanged();

private:
  friend class TElementChangeEvents;
  // The propertychange handler of inputs and textareas.
  void CompareValue(int code);

  TElementChangingTracker& tracker_;
  ComPtr<PageElement> control_;
  ComPtr<TElementChangeEvents> events_;
  platform::PageEventConnection connection_;
};

class TElementChangingTracker {
public:
  TElementChangingTracker();
  ~TElementChangingTracker();
  TElementChangingTracker(const TElementChangingTracker&) = delete;
  TElementChangingTracker& operator=(const TElementChangingTracker&) = delete;

  // The last number handed out; 0 before the first.
  int32_t LastSinkID = 0;

  // Pairs a new sink with control; no sink remains when it can't be paired.
  void Track(const ComPtr<PageElement>& control);
  // Disconnects the sink paired with control (the first whose number is
  // the control's "SinkID"); the sink stays in the collection.
  void Untrack(const ComPtr<PageElement>& control);

  int Count() const noexcept { return static_cast<int>(sinks_.size()); }
  // Raises "List index out of bounds (N)" for a bad index.
  TElementChangingSink& Items(int index);
  void Delete(int index);
  void Clear() noexcept;

private:
  std::vector<std::unique_ptr<TElementChangingSink>> sinks_;
};

}  // namespace qm
