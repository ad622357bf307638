#include "addon/BHO/NavRecorder.h"

namespace qm {

void TNavigationRecorder::AddStep(const std::u16string& url, const std::u16string& tag,
                                  const std::u16string& value, const std::u16string& name,
                                  const std::u16string& type) {
  if (mode_ == RecorderPlaying) {
    throw ERecorderException(ERecorderException::Stop | ERecorderException::Record);
  }
  if (url.empty()) return;
  steps_.Add(TRecordStep{url, tag, type, name, value});
}

void TNavigationRecorder::StartRecording() {
  Clear();
  mode_ = RecorderRecording;
}

void TNavigationRecorder::StartPlaying() {
  Stop();
  if (steps_.Empty()) return;
  current_ = 0;
  mode_ = RecorderPlaying;
}

TPlayedStep TNavigationRecorder::PeekStep(const std::u16string& url) const {
  if (mode_ != RecorderPlaying) throw ERecorderException(ERecorderException::Play);
  if (current_ < 0 || current_ >= steps_.Count()) return {};
  const TRecordStep& step = steps_[current_];
  if (step.Url != url) return {};
  return {step.Tag, step.Value, step.Name, step.Type};
}

TPlayedStep TNavigationRecorder::PlayStep(const std::u16string& url) {
  const TPlayedStep played = PeekStep(url);
  if (current_ >= 0 && current_ < steps_.Count() && steps_[current_].Url == url) {
    current_ = current_ + 1 < steps_.Count() ? current_ + 1 : -1;
  }
  if (current_ < 0) Stop();
  return played;
}

platform::Variant TNavigationRecorder::SaveToVariant() const {
  if (mode_ != RecorderStopped) throw ERecorderException(ERecorderException::Stop);
  if (steps_.Empty()) return platform::Variant::Null();
  TMemoryStream stream;
  TStreamWriter writer(stream);
  writer.Count(steps_.Count());
  for (const TRecordStep& step : steps_) {
    TRecordStep copy = step;
    RecordStepLayout(writer, copy);
  }
  return StreamToVariant(stream);
}

void TNavigationRecorder::LoadFromVariant(const platform::Variant& value) {
  // Its first AddStep would refuse; refusing first keeps the recording.
  if (mode_ == RecorderPlaying) {
    throw ERecorderException(ERecorderException::Stop | ERecorderException::Record);
  }
  Clear();
  TMemoryStream stream;
  VariantToStream(value, stream);
  stream.SetPosition(0);
  TStreamReader reader(stream);
  int32_t count = 0;
  // The count is not trusted for anything but an upper bound: steps are
  // read one by one and the loop ends with the data, each step taking at
  // least its five string lengths.
  if (!reader.Int32(count)) return;
  for (int32_t i = 0; i < count; ++i) {
    TRecordStep step;
    // A step cut short by the end of the data is no step: its Url, the
    // last field, would be missing or cut off.
    if (!RecordStepLayout(reader, step)) return;
    AddStep(step.Url, step.Tag, step.Value, step.Name, step.Type);
  }
}

std::u16string TNavigationRecorder::FirstUrl() const {
  return steps_.Empty() ? std::u16string() : steps_[0].Url;
}

}  // namespace qm
