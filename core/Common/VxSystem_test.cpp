#include "core/Common/VxSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>

#include "core/Common/LocationCodes.h"
#include "testsupport/QmTesting.h"

namespace qm {
namespace {

using testing::ExpectThrowsExactly;
using testing::Trail;

TEST(ReportException, AppendsOneLinePerHandlerInnermostFirst) {
  ExpectThrowsExactly<Exception>(
      [] {
        Reported(loc::LexiconAddSubstitution, [] {
          Reported(loc::LexiconNormalize, [] { throw Exception(u"M"); });
        });
      },
      u"M\r\n>>1597\r\n>>1595");
}

TEST(ReportException, LetsTheProgramsOwnExceptionsPassUnchanged) {
  const auto e = ExpectThrowsExactly<EBeforeNavigate>(
      [] { Reported(1, [] { Reported(2, [] { throw EBeforeNavigate(); }); }); },
      u"BeforeNavigate executes during procedure call!");
  EXPECT_EQ(e.HelpContext(), 0);
  // Reporting returns at once for them.
  EXPECT_NO_THROW(ReportException(EVxException(u"signal"), 5));
}

TEST(ReportException, KeepsEveryFieldOfAnOleException) {
  const auto e = ExpectThrowsExactly<EOleException>(
      [] {
        Reported(20, [] {
          Reported(10, [] {
            throw EOleException(u"call failed", platform::E_FAIL, u"Quillora", u"help.hlp", 42);
          });
        });
      },
      Trail(u"call failed", {10, 20}));
  EXPECT_EQ(e.ErrorCode(), platform::E_FAIL);
  EXPECT_EQ(e.Source(), u"Quillora");
  EXPECT_EQ(e.HelpFile(), u"help.hlp");
  EXPECT_EQ(e.HelpContext(), 42);
}

TEST(ReportException, KeepsAnArkExceptionAndItsValue) {
  const auto e = ExpectThrowsExactly<ArkException>(
      [] { Reported(2, [] { Reported(1, [] { throw ArkException(u"ark", 3); }); }); },
      Trail(u"ark", {1, 2}));
  EXPECT_EQ(e.Value(), 3);
}

TEST(ReportException, TurnsDerivedClassesIntoTheCommonBase) {
  // A recorder error and a bare OLE system error lose their class.
  ExpectThrowsExactly<Exception>([] { Reported(7, [] { throw ERecorderException(1); }); },
                                 Trail(u"Need \"Stop\" mode for operation!", {7}));
  const auto e = ExpectThrowsExactly<Exception>(
      [] { Reported(8, [] { throw EOleSysError(u"sys", platform::E_NOINTERFACE); }); },
      Trail(u"sys", {8}));
  EXPECT_EQ(StatusOfException(e), platform::E_UNEXPECTED);
}

TEST(ReportException, ConvertsStandardLibraryExceptionsWithTheirMessage) {
  ExpectThrowsExactly<Exception>([] { Reported(9, [] { throw std::out_of_range("bad index"); }); },
                                 Trail(u"bad index", {9}));
}

TEST(Reported, PassesTheBodysResultThrough) {
  EXPECT_EQ(Reported(1, [] { return 41 + 1; }), 42);
}

TEST(Swallowed, EndsAFailingStepQuietly) {
  EXPECT_FALSE(Swallowed([] { throw Exception(u"x"); }));
  EXPECT_FALSE(Swallowed([] { throw EBeforeNavigate(); }));
  EXPECT_FALSE(Swallowed([] { throw std::runtime_error("x"); }));
  EXPECT_TRUE(Swallowed([] {}));
}

TEST(ERecorderException, NamesTheModesInStopPlayRecordOrder) {
  EXPECT_EQ(ERecorderException::BuildMessage(1), u"Need \"Stop\" mode for operation!");
  EXPECT_EQ(ERecorderException::BuildMessage(4), u"Need \"Play\" mode for operation!");
  EXPECT_EQ(ERecorderException::BuildMessage(3), u"Need \"Stop\" or \"Record\" mode for operation!");
  EXPECT_EQ(ERecorderException::BuildMessage(7),
            u"Need \"Stop\" or \"Play\" or \"Record\" mode for operation!");
}

TEST(SafeCallEdge, AnswersUnexpectedWithTheWholeMessageAsErrorInformation) {
  const HRESULT hr = SafeCallEdge([] { Reported(1612, [] { throw Exception(u"boom"); }); });
  EXPECT_EQ(hr, platform::E_UNEXPECTED);
  const auto info = platform::TakeErrorInfo();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Description, Trail(u"boom", {1612}));
}

TEST(SafeCallEdge, AnswersTheStatusAnOleErrorCarries) {
  EXPECT_EQ(SafeCallEdge([] { throw EOleSysError(u"x", platform::E_NOINTERFACE); }),
            platform::E_NOINTERFACE);
  // Annotated OLE exceptions keep their status too.
  EXPECT_EQ(SafeCallEdge([] {
              Reported(3, [] { throw EOleException(u"x", platform::E_FAIL, u"", u"", 0); });
            }),
            platform::E_FAIL);
  EXPECT_EQ(SafeCallEdge([] {}), platform::S_OK);
  EXPECT_EQ(SafeCallEdge([] { throw 42; }), platform::E_UNEXPECTED);
  platform::ClearErrorInfo();
}

TEST(LocationCodes, AreUniqueAndInTheirRange) {
  std::set<int> seen;
  for (int code : loc::AllLocationCodes) {
    EXPECT_TRUE(seen.insert(code).second) << "code " << code << " used twice";
    EXPECT_GE(code, 109);
    EXPECT_LE(code, 1714);
  }
}

}  // namespace
}  // namespace qm
