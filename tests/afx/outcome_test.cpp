// The run's outcome record: what decides a run, and what each front end is
// shown of it.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "afx/msgbox.h"
#include "platform/journal.h"
#include "platform/outcome.h"
#include "support/support.h"

namespace {
using platform::OutcomeKind;

// Without a front end's record, and with one that presents nothing of its
// own, a reported step is the very box it always was.
TEST(Outcome, WithoutAPresenterTheStepsOwnBoxIsShown) {
  tarntest::BoxRecorder boxes;
  AfxReportFailure("C:\\a.txt", "写文件'C:\\a.txt'失败!");
  AfxReportNotice("C:\\b", "note", MB_OK | MB_ICONINFORMATION);
  AfxReportFailure(nullptr, "C:\\", "'C:\\'不是合法的根目录!", "错误", MB_OK);
  {
    platform::OutcomeRecord record;
    AfxReportFailure("x", "told in a box all the same");
    EXPECT_TRUE(record.Failed());
  }
  ASSERT_EQ(boxes.calls().size(), 4u);
  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"写文件'C:\\a.txt'失败!", "note",
                                                     "'C:\\'不是合法的根目录!",
                                                     "told in a box all the same"}));
  EXPECT_EQ(boxes.calls()[0].caption, platform::AppCaption());
  EXPECT_EQ(boxes.calls()[0].type, static_cast<UINT>(MB_OK));
  EXPECT_EQ(boxes.calls()[1].type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  EXPECT_EQ(boxes.calls()[2].caption, "错误");
}

// Failures fail the run whether or not they are told; notices and
// questions never do, and a question still reaches the box handler.
TEST(Outcome, OnlyFailuresFailTheRun) {
  tarntest::BoxRecorder boxes;
  std::vector<std::string> told;
  platform::OutcomeRecord record([&](const platform::Outcome& o) { told.push_back(o.message.text); });
  AfxReportNotice("", "a notice");
  EXPECT_EQ(AfxShowMessage(nullptr, "a question?", "t", MB_YESNO | MB_ICONQUESTION), IDNO);
  EXPECT_FALSE(record.Failed());
  AfxReportFailure("C:\\p\\q.dll", "not told", MB_OK, false);
  EXPECT_TRUE(record.Failed());
  AfxReportFailure("cmd /c x", "运行程序'cmd /c x'失败!");
  EXPECT_EQ(told, (std::vector<std::string>{"a notice", "运行程序'cmd /c x'失败!"}));
  ASSERT_EQ(boxes.texts(), std::vector<std::string>{"a question?"});
  const auto failed = record.Of(OutcomeKind::kFailed);
  ASSERT_EQ(failed.size(), 2u);
  EXPECT_EQ(failed[0].subject, "C:\\p\\q.dll");
  EXPECT_EQ(failed[1].subject, "cmd /c x");
  EXPECT_EQ(failed[1].message.caption, platform::AppCaption());
}

// The journal's events are outcomes too; a step that journals what became
// of it and then tells it is one outcome.
TEST(Outcome, JournalEventsFeedTheRecord) {
  tarntest::BoxRecorder boxes;
  platform::OutcomeRecord record([](const platform::Outcome&) {});
  platform::Journal(platform::JournalKind::kFileWritten, "C:\\w.txt");
  platform::Journal(platform::JournalKind::kEntrySkipped, "C:\\k.txt", "exists");
  platform::Journal(platform::JournalKind::kEntrySkipped, "C:\\s.txt", "not for this system");
  platform::Journal(platform::JournalKind::kFileScheduled, "C:\\held.dll");
  AfxReportScheduled("C:\\held.dll", "文件正在使用,将在重新启动后删除! 'C:\\held.dll'");
  EXPECT_TRUE(record.Scheduled());
  EXPECT_FALSE(record.Failed()) << "a removal at the restart is no failure";
  platform::Journal(platform::JournalKind::kFileNotRemoved, "C:\\f.txt");
  AfxReportFailure("C:\\f.txt", "删除文件失败! 'C:\\f.txt'");
  platform::Journal(platform::JournalKind::kRegNotDeleted, "HKEY_LOCAL_MACHINE\\Software", "shared");
  EXPECT_EQ(record.Count(OutcomeKind::kDone), 1u);
  ASSERT_EQ(record.Of(OutcomeKind::kKept).size(), 1u);
  ASSERT_EQ(record.Of(OutcomeKind::kSkipped).size(), 1u);
  EXPECT_EQ(record.Of(OutcomeKind::kSkipped)[0].why, "not for this system");
  ASSERT_EQ(record.Count(OutcomeKind::kScheduled), 1u);
  EXPECT_NE(record.Of(OutcomeKind::kScheduled)[0].message.text, "");
  const auto failed = record.Of(OutcomeKind::kFailed);
  ASSERT_EQ(failed.size(), 2u);
  EXPECT_EQ(failed[0].message.text, "删除文件失败! 'C:\\f.txt'");
  EXPECT_EQ(failed[1].why, "shared");
  EXPECT_TRUE(boxes.calls().empty());
}

// A record holds what happens while it is the newest; the one before it
// takes the outcomes again when it ends.
TEST(Outcome, RecordsNest) {
  tarntest::BoxRecorder boxes;
  platform::OutcomeRecord outer([](const platform::Outcome&) {});
  {
    platform::OutcomeRecord inner([](const platform::Outcome&) {});
    AfxReportFailure("a", "inner");
    EXPECT_TRUE(inner.Failed());
  }
  EXPECT_FALSE(outer.Failed());
  AfxReportFailure("b", "outer");
  EXPECT_TRUE(outer.Failed());
  EXPECT_TRUE(boxes.calls().empty());
}

}  // namespace
