#include "addon/BHO/ElementTracker.h"

#include <gtest/gtest.h>

#include <memory>

#include "testsupport/BhoTesting.h"
#include "addon/BHO/FillFormUtils.h"
#include "engines/memdom/UserActions.h"

namespace qm {
namespace {

using namespace bho_testing;
using memdom::ChooseOption;
using memdom::ScriptBindings;
using memdom::ScriptContext;
using memdom::TypeText;
using platform::PageInputElement;

class ChangeTracking : public ::testing::Test {
protected:
  ChangeTracking() {
    scripts_->Bind(u"paint(this)", [](ScriptContext& context) {
      context.Element->style()->setBackgroundColor(u"yellow");
      context.Element->setAttribute(u"class", Variant::FromString(u"hot"));
    });
    doc_ = LoadPage(
        "<input id=a value=old onclick='paint(this)'><input id=b maxlength=3 value=abc>"
        "<select id=s><option>A<option>B</select><textarea id=t>x</textarea><div id=d></div>",
        u"http://example.com/p.html", nullptr, scripts_);
  }
  void Mark(std::u16string_view id, const std::u16string& field = u"City") {
    MarkBoundElement(ById(doc_, id), field, tracker_);
  }
  bool Marked(std::u16string_view id) {
    return ById(doc_, id)->style()->backgroundColor() == BoundBackgroundColor &&
           !ById(doc_, id)->title().empty() &&
           !AttributeText(ById(doc_, id), ProfileFieldAttribute).empty();
  }
  bool Unmarked(std::u16string_view id) {
    return ById(doc_, id)->style()->backgroundColor().empty() && ById(doc_, id)->title().empty() &&
           AttributeText(ById(doc_, id), ProfileFieldAttribute).empty();
  }
  Variant SinkID(std::u16string_view id) { return ById(doc_, id)->getAttribute(SinkIDAttribute); }

  std::shared_ptr<ScriptBindings> scripts_ = std::make_shared<ScriptBindings>();
  ComPtr<MemDocument> doc_;
  TElementChangingTracker tracker_;
};

TEST_F(ChangeTracking, SinkNumbersStartAtOneAndReMarkingGivesANewOne) {
  Mark(u"a");
  Mark(u"s");
  EXPECT_EQ(SinkID(u"a"), Variant::FromInt32(1));
  EXPECT_EQ(SinkID(u"s"), Variant::FromInt32(2));
  ASSERT_EQ(tracker_.Count(), 2);
  EXPECT_EQ(tracker_.Items(0).GetSinkID(), 1);
  Mark(u"a", u"Town");
  EXPECT_EQ(SinkID(u"a"), Variant::FromInt32(3));
  EXPECT_EQ(tracker_.LastSinkID, 3);
  ASSERT_EQ(tracker_.Count(), 3);
  EXPECT_FALSE(tracker_.Items(0).Connected()) << "the old pairing stays, disconnected";
  EXPECT_EQ(tracker_.Items(0).GetSinkID(), -1);
  EXPECT_EQ(tracker_.Items(2).GetSinkID(), 3);
  EXPECT_EQ(ById(doc_, u"a")->title(), u"bind with <Town>");
}

TEST_F(ChangeTracking, AnElementThatIsNoControlIsNotTracked) {
  tracker_.Track(ById(doc_, u"d"));
  tracker_.Track(nullptr);
  EXPECT_EQ(tracker_.Count(), 0);
  EXPECT_TRUE(SinkID(u"d").IsEmptyOrNull());
  EXPECT_EQ(tracker_.LastSinkID, 0);
}

TEST_F(ChangeTracking, TheFirstKeystrokeThatChangesTheValueRemovesTheMark) {
  Mark(u"a");
  ASSERT_TRUE(Marked(u"a"));
  TypeText(ById(doc_, u"a"), u"x");
  EXPECT_TRUE(Unmarked(u"a"));
  EXPECT_FALSE(tracker_.Items(0).Connected());
  // A marked input at its maxLength: the keystroke changes nothing.
  Mark(u"b");
  TypeText(ById(doc_, u"b"), u"d");
  EXPECT_TRUE(Marked(u"b"));
}

TEST_F(ChangeTracking, AScriptThatOnlyRestylesLeavesTheMark) {
  Mark(u"a");
  ById(doc_, u"a")->click();
  EXPECT_EQ(AttributeText(ById(doc_, u"a"), u"class"), u"hot") << "the script ran";
  EXPECT_EQ(AttributeText(ById(doc_, u"a"), ProfileFieldAttribute), u"City");
  EXPECT_TRUE(tracker_.Items(0).Connected());
  // A program that writes the value is a change like any other.
  ViewById<PageInputElement>(doc_, u"a")->setValue(u"new");
  EXPECT_TRUE(Unmarked(u"a"));
}

TEST_F(ChangeTracking, ChangingASelectionOrATextareaRemovesTheMark) {
  Mark(u"s");
  Mark(u"t");
  ChooseOption(ById(doc_, u"s"), 1);
  EXPECT_TRUE(Unmarked(u"s"));
  EXPECT_TRUE(Marked(u"t"));
  TypeText(ById(doc_, u"t"), u"y");
  EXPECT_TRUE(Unmarked(u"t"));
}

TEST_F(ChangeTracking, UntrackingOneControlLeavesTheOthersConnected) {
  Mark(u"a");
  Mark(u"t");
  tracker_.Untrack(ById(doc_, u"t"));
  tracker_.Untrack(ById(doc_, u"d"));  // never tracked
  EXPECT_TRUE(tracker_.Items(0).Connected());
  EXPECT_FALSE(tracker_.Items(1).Connected());
  EXPECT_FALSE(tracker_.Items(1).Control());
}

TEST_F(ChangeTracking, AFreedTrackerHearsNothingMore) {
  auto tracker = std::make_unique<TElementChangingTracker>();
  MarkBoundElement(ById(doc_, u"a"), u"City", *tracker);
  tracker.reset();
  TypeText(ById(doc_, u"a"), u"x");
  EXPECT_TRUE(Marked(u"a")) << "nobody watches it any more";
}

}  // namespace
}  // namespace qm
