// The transcript of a browsing session: one line per thing that happened
// (a page loaded, a field filled, a dialog or message shown, a form
// submitted), as "kind  text", written as it happens.
//
// Thread safe: windows write from their own threads.
#pragma once

#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

namespace qm::host {

class TTranscript {
public:
  explicit TTranscript(std::ostream& out) : out_(out) {}

  // kind: a short word ("page", "filled", "submit", "dialog", "message",
  // "note", "expect", "fail"); text: the rest, several lines allowed (they
  // are indented under the first).
  void Line(std::string_view kind, std::u16string_view text);
  void Line(std::string_view kind, std::string_view text);

private:
  std::mutex mutex_;
  std::ostream& out_;
};

}  // namespace qm::host
