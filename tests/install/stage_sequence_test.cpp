#include "install/stage_sequence.h"

#include <gtest/gtest.h>

#include <vector>

#include "fixture_installer.h"
#include "platform/message_pump.h"

namespace {

using install::StageSequence;
using install_test::RecordingView;

TEST(StageSequenceTest, IntervalTextRules) {
  struct Case {
    const wchar_t* text;
    DWORD expected;
  };
  const Case cases[] = {
      {L"2500", 2500},
      {L"1", 1},
      {L"0", 1000},
      {L"-5", 1000},
      {L"x", 1000},
      {L"", 1000},
      {L"+300", 300},
      {L"250ms", 250},
      {L"600000", 600000},
      {L"600001", 1000},
      {L"99999999999999999999", 1000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(install::StageIntervalFromText(c.text), c.expected) << c.text;
  }
}

// Waits (bounded) until the view has seen `count` stages.
bool WaitForStages(const RecordingView& view, size_t count) {
  for (int i = 0; i < 500 && view.stages().size() < count; ++i) ::Sleep(10);
  return view.stages().size() >= count;
}

TEST(StageSequenceTest, StepsThroughTheWholeTableInOrderAndNeverShows100) {
  RecordingView view;
  StageSequence stages(view, 1);
  ASSERT_TRUE(stages.Start());
  ASSERT_TRUE(WaitForStages(view, install::kInstallStageTable.size()));
  stages.Stop();
  const std::vector<int> expected(install::kInstallStageTable.begin(), install::kInstallStageTable.end());
  EXPECT_EQ(view.stages(), expected);
}

TEST(StageSequenceTest, StopEndsTheSequenceAtOnceAndNothingFollows) {
  RecordingView view;
  StageSequence stages(view, 60000);
  ASSERT_TRUE(stages.Start());
  ASSERT_TRUE(WaitForStages(view, 1));
  stages.Stop();  // would otherwise sleep a minute before the next stage
  EXPECT_EQ(view.stages(), std::vector<int>{0});
  ::Sleep(50);
  EXPECT_EQ(view.stages(), std::vector<int>{0});
}

TEST(StageSequenceTest, NewAttemptEndsThePreviousSequence) {
  RecordingView view;
  StageSequence stages(view, 60000);
  ASSERT_TRUE(stages.Start());
  ASSERT_TRUE(WaitForStages(view, 1));
  const uint32_t first = stages.generation();
  ASSERT_TRUE(stages.Start());
  EXPECT_EQ(stages.generation(), first + 1);
  ASSERT_TRUE(WaitForStages(view, 2));
  stages.Stop();
  // Each sequence showed only its first stage: the two never interleave.
  EXPECT_EQ(view.stages(), (std::vector<int>{0, 0}));
}

TEST(StageSequenceTest, DestructionJoinsARunningSequence) {
  RecordingView view;
  {
    StageSequence stages(view, 60000);
    ASSERT_TRUE(stages.Start());
    ASSERT_TRUE(WaitForStages(view, 1));
  }
  EXPECT_EQ(view.stages().size(), 1u);
}

TEST(HeadlessPipelineViewTest, EveryCallBecomesALogLine) {
  install::HeadlessPipelineView view;
  const std::wstring log = L"Brimvale_Log.log";
  const size_t before = test_support::ReadBytes(log).size();
  view.Stage(33);
  view.Progress(12);
  view.Progress(12);
  view.TipText(L"Installing...");
  view.TipText(L"Downloading:1.00MB/9.00MB");
  view.TipText(L"Downloading:2.00MB/9.00MB");  // same label within ten seconds
  view.TipText(L"Installing...");              // the label changed again
  view.SwitchPage(install::WizardPage::Finish);
  view.Failure(install::WizardPage::InstallFailure, 6001);
  const std::string added = test_support::ReadBytes(log).substr(before);
  // The repeated percentage and the repeated transfer tip are logged once.
  EXPECT_EQ(added.find("Progress=12%"), added.rfind("Progress=12%"));
  EXPECT_NE(added.find("Tip=Downloading:1.00MB"), std::string::npos);
  EXPECT_EQ(added.find("Tip=Downloading:2.00MB"), std::string::npos);
  EXPECT_NE(added.find("Tip=Installing..."), added.rfind("Tip=Installing..."));
  for (const char* expected :
       {"InstallStage=33%", "Progress=12%", "Tip=Installing...", "SwitchPage=4", "Failure page=3 code=6001"}) {
    EXPECT_NE(added.find(expected), std::string::npos) << expected;
  }
}

}  // namespace
