#include "addon/BHO/NavRecorder.h"

#include <gtest/gtest.h>

#include "core/Common/VxSystem.h"
#include "testsupport/QmTesting.h"

namespace qm {
namespace {

using testing::ExpectThrowsExactly;

const std::u16string NeedStop = u"Need \"Stop\" mode for operation!";
const std::u16string NeedPlay = u"Need \"Play\" mode for operation!";
const std::u16string NeedStopOrRecord = u"Need \"Stop\" or \"Record\" mode for operation!";

TNavigationRecorder TwoSteps() {
  TNavigationRecorder r;
  r.StartRecording();
  r.AddStep(u"P", u"a", u"http://p.example/next", u"Next", u"");
  r.AddStep(u"", u"a", u"ignored", u"ignored", u"");
  r.AddStep(u"Q", u"input", u"Go", u"go", u"button");
  r.Stop();
  return r;
}

TEST(NavigationRecorder, PlaysStepsPageByPageAndStopsAfterTheLast) {
  TNavigationRecorder r = TwoSteps();
  ASSERT_EQ(r.Steps().Count(), 2) << "a step without a page is not recorded";
  r.StartPlaying();
  ASSERT_EQ(r.Mode(), RecorderPlaying);
  EXPECT_EQ(r.PeekStep(u"P"), (TPlayedStep{u"a", u"http://p.example/next", u"Next", u""}));
  EXPECT_EQ(r.PlayStep(u"P"), (TPlayedStep{u"a", u"http://p.example/next", u"Next", u""}));
  EXPECT_EQ(r.Mode(), RecorderPlaying);
  EXPECT_EQ(r.PlayStep(u"P"), TPlayedStep{}) << "the current step belongs to Q now";
  EXPECT_EQ(r.PlayStep(u"q"), TPlayedStep{}) << "page keys compare with case";
  EXPECT_EQ(r.PeekStep(u"Q"), (TPlayedStep{u"input", u"Go", u"go", u"button"}));
  EXPECT_EQ(r.Mode(), RecorderPlaying) << "peeking never stops";
  EXPECT_EQ(r.PlayStep(u"Q"), (TPlayedStep{u"input", u"Go", u"go", u"button"}));
  EXPECT_EQ(r.Mode(), RecorderStopped);
  EXPECT_EQ(r.Steps().Count(), 2) << "steps survive the end of playing";
}

TEST(NavigationRecorder, StartPlayingWithoutStepsStaysStopped) {
  TNavigationRecorder r;
  r.StartPlaying();
  EXPECT_EQ(r.Mode(), RecorderStopped);
  ExpectThrowsExactly<ERecorderException>([&] { r.PlayStep(u"P"); }, NeedPlay);
  ExpectThrowsExactly<ERecorderException>([&] { r.PeekStep(u"P"); }, NeedPlay);
}

TEST(NavigationRecorder, ModeGuardsRaiseTheirMessagesAndChangeNothing) {
  TNavigationRecorder r = TwoSteps();
  r.StartPlaying();
  ExpectThrowsExactly<ERecorderException>([&] { r.AddStep(u"R", u"a", u"", u"", u""); },
                                          NeedStopOrRecord);
  ExpectThrowsExactly<ERecorderException>([&] { r.SaveToVariant(); }, NeedStop);
  EXPECT_EQ(r.Steps().Count(), 2);
  EXPECT_EQ(r.Mode(), RecorderPlaying);
  EXPECT_EQ(r.CurrentStep(), 0);
  r.StartRecording();  // recording while playing ends the playback
  EXPECT_EQ(r.Mode(), RecorderRecording);
  EXPECT_EQ(r.Steps().Count(), 0);
  ExpectThrowsExactly<ERecorderException>([&] { r.SaveToVariant(); }, NeedStop);
  r.AddStep(u"R", u"a", u"", u"", u"");
  r.Stop();
  r.AddStep(u"S", u"a", u"", u"", u"");
  EXPECT_EQ(r.Steps().Count(), 2) << "adding works while stopped too";
}

TEST(NavigationRecorder, SavedRecordingLoadsBackStepByStep) {
  const TNavigationRecorder r = TwoSteps();
  const platform::Variant saved = r.SaveToVariant();
  ASSERT_EQ(saved.GetKind(), platform::Variant::Kind::ByteArray);
  TNavigationRecorder loaded;
  loaded.AddStep(u"old", u"a", u"", u"", u"");
  loaded.LoadFromVariant(saved);
  ASSERT_EQ(loaded.Steps().Count(), 2);
  EXPECT_EQ(loaded.Steps()[0], r.Steps()[0]);
  EXPECT_EQ(loaded.Steps()[1], r.Steps()[1]);
  EXPECT_EQ(loaded.FirstUrl(), u"P");
}

TEST(NavigationRecorder, StreamHoldsTheCountThenTagTypeNameValueUrl) {
  TNavigationRecorder r;
  r.AddStep(u"U", u"button", u"V", u"N", u"submit");
  TMemoryStream stream;
  VariantToStream(r.SaveToVariant(), stream);
  TMemoryStream expected;
  WriteInt32(expected, 1);
  for (const char16_t* field : {u"button", u"submit", u"N", u"V", u"U"}) {
    WriteWideString(expected, field);
  }
  EXPECT_EQ(stream.Bytes(), expected.Bytes());
}

TEST(NavigationRecorder, AnEmptyRecordingIsTheNullVariantAndLoadsNothing) {
  TNavigationRecorder r;
  EXPECT_TRUE(r.SaveToVariant().IsNull());
  EXPECT_EQ(r.FirstUrl(), u"");
  r.AddStep(u"P", u"a", u"", u"", u"");
  r.LoadFromVariant(platform::Variant::Null());
  EXPECT_EQ(r.Steps().Count(), 0);
  TMemoryStream zero;
  WriteInt32(zero, -5);
  r.LoadFromVariant(StreamToVariant(zero));
  EXPECT_EQ(r.Steps().Count(), 0);
}

TEST(NavigationRecorder, AShortOrLyingStreamLoadsTheWholeStepsOnly) {
  const platform::Variant saved = TwoSteps().SaveToVariant();
  std::vector<uint8_t> bytes = saved.AsByteArray().Items;
  bytes[0] = 0xFF;  // the count now claims far more steps than there are
  bytes[1] = 0xFF;
  bytes[2] = 0xFF;
  bytes[3] = 0x7F;
  TNavigationRecorder r;
  r.LoadFromVariant(platform::Variant::FromBytes(bytes));
  EXPECT_EQ(r.Steps().Count(), 2);
  bytes.resize(bytes.size() - 3);  // the last Url is cut off
  r.LoadFromVariant(platform::Variant::FromBytes(bytes));
  ASSERT_EQ(r.Steps().Count(), 1);
  EXPECT_EQ(r.Steps()[0].Url, u"P");
  r.LoadFromVariant(platform::Variant::FromBytes({1, 0}));
  EXPECT_EQ(r.Steps().Count(), 0);
}

TEST(NavigationRecorder, LoadingWhilePlayingIsRefusedAndKeepsThePlayback) {
  TNavigationRecorder r = TwoSteps();
  const platform::Variant saved = r.SaveToVariant();
  r.StartPlaying();
  ExpectThrowsExactly<ERecorderException>([&] { r.LoadFromVariant(saved); }, NeedStopOrRecord);
  EXPECT_EQ(r.Steps().Count(), 2);
  EXPECT_EQ(r.PlayStep(u"P").Tag, u"a");
}

TEST(NavigationRecorder, ClearingWhilePlayingLeavesNoStepToPointAtAndStopsAtTheNextPage) {
  TNavigationRecorder r = TwoSteps();
  r.StartPlaying();
  r.Clear();
  EXPECT_EQ(r.CurrentStep(), -1);
  EXPECT_EQ(r.PlayStep(u"P"), TPlayedStep{});
  EXPECT_EQ(r.Mode(), RecorderStopped);
}

}  // namespace
}  // namespace qm
