// The navigation recorder: the user's clicks on links and buttons as a list
// of steps, page by page, and their replay.
//
// Modes: 0 stopped, 1 recording, 2 playing. While recording, the helper
// object adds a step per click; while playing, it asks for the step of each
// page that finishes loading (PlayStep) and clicks the element described.
// CurrentStep, the next step to play, is consulted only while playing and
// set by StartPlaying. An operation called in the wrong mode raises
// ERecorderException and changes nothing.
//
// The recording stream (the byte array stored in the manager as a
// navigation card): an int32 step count, then per step five wide strings
// Tag, Type, Name, Value, Url. An empty recording is the null variant. A
// short or corrupt stream loads the steps that read whole; nothing is
// allocated from the count.
//
// The agent owns one recorder; it runs on the browser window's thread.
#pragma once

#include <cstdint>
#include <string>

#include "core/Common/OwnedCollection.h"
#include "core/Common/StreamUtils.h"
#include "core/Common/VxSystem.h"
#include "platform/com/Variant.h"

namespace qm {

struct TRecordStep {
  std::u16string Url;    // page key of the page the click happened on
  std::u16string Tag;    // "a", "button" or "input"
  std::u16string Type;   // the element's type; empty for a link
  std::u16string Name;   // the element's name; a link's inner text
  std::u16string Value;  // the element's value; a link's address

  friend bool operator==(const TRecordStep&, const TRecordStep&) = default;
};

// What PlayStep and PeekStep give: the step's fields, or all empty.
struct TPlayedStep {
  std::u16string Tag;
  std::u16string Value;
  std::u16string Name;
  std::u16string Type;
  friend bool operator==(const TPlayedStep&, const TPlayedStep&) = default;
};

enum TRecorderMode : uint8_t {
  RecorderStopped = 0,
  RecorderRecording = 1,
  RecorderPlaying = 2,
};

class TNavigationRecorder {
public:
  TRecorderMode Mode() const noexcept { return mode_; }
  const TOwnedCollection<TRecordStep>& Steps() const noexcept { return steps_; }
  // Index of the next step to play; -1 for none.
  int CurrentStep() const noexcept { return current_; }

  // Appends a step; nothing when url is empty. Refused while playing.
  void AddStep(const std::u16string& url, const std::u16string& tag, const std::u16string& value,
               const std::u16string& name, const std::u16string& type);
  // Removes all steps; while playing, the next PlayStep then stops.
  void Clear() {
    steps_.Clear();
    current_ = -1;
  }
  // Clear, then recording.
  void StartRecording();
  void Stop() noexcept { mode_ = RecorderStopped; }
  // Stop; then, with at least one step, playing from the first one.
  void StartPlaying();
  // The current step's fields when its Url equals url exactly, advancing
  // to the next step (and stopping after the last); empty fields and no
  // move otherwise. Needs playing mode.
  TPlayedStep PlayStep(const std::u16string& url);
  // The same without advancing or stopping.
  TPlayedStep PeekStep(const std::u16string& url) const;

  // The null variant without steps, else the recording stream as a byte
  // array. Needs stopped mode.
  platform::Variant SaveToVariant() const;
  // Clear, then the steps of the recording stream in a byte array, added
  // with AddStep (steps without Url are skipped). A null or empty variant
  // gives no steps. Refused while playing, before anything is cleared.
  void LoadFromVariant(const platform::Variant& value);
  // The first step's Url, empty without steps.
  std::u16string FirstUrl() const;

private:
  TOwnedCollection<TRecordStep> steps_;
  TRecorderMode mode_ = RecorderStopped;
  int current_ = -1;
};

// The layout of one step in the recording stream, for reader and writer.
template <class Stream>
bool RecordStepLayout(Stream& s, TRecordStep& step) {
  s.WideString(step.Tag);
  s.WideString(step.Type);
  s.WideString(step.Name);
  s.WideString(step.Value);
  s.WideString(step.Url);
  return s.Ok();
}

}  // namespace qm
