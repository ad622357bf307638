#include "host/Transcript.h"

#include "platform/rtl/Utf.h"

namespace qm::host {

void TTranscript::Line(std::string_view kind, std::u16string_view text) { Line(kind, platform::U8(text)); }

void TTranscript::Line(std::string_view kind, std::string_view text) {
  std::string line(kind);
  line.resize(std::max<size_t>(line.size() + 1, 9), ' ');
  for (char c : text) {
    if (c == '\r') continue;
    line += c;
    if (c == '\n') line += "         ";
  }
  while (!line.empty() && (line.back() == ' ' || line.back() == '\n')) line.pop_back();
  std::lock_guard lock(mutex_);
  out_ << line << '\n';
  out_.flush();
}

}  // namespace qm::host
