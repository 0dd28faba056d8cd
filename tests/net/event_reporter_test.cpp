// The run report: its body, its delivery to a real endpoint as UTF-8, the
// once-per-run rule, and the bounded wait on an endpoint that never answers.
#include "net/event_reporter.h"

#include <gtest/gtest.h>

#include "net_fixture.h"
#include "platform/text.h"
#include "startup/launch_parameters.h"

namespace net {
namespace {

TEST(EventReportTest, BuildsTheBody) {
  EventReporter reporter;
  EXPECT_EQ(reporter.BuildBody(L""), "uid=&install_start_downloader=false&install_finish_downloader=false");
  reporter.SetIdentity(L"123", L"");
  reporter.MarkInstallStarted();
  EXPECT_EQ(reporter.BuildBody(L"S-1-5"),
            "uid=S-1-5&url=123&install_start_downloader=true&install_finish_downloader=false");
  reporter.SetIdentity(L"12&3", L"2.0");
  reporter.MarkInstallFinished();
  EXPECT_EQ(reporter.BuildBody(L"\u00e9"),
            "uid=\xC3\xA9&url=12%263&downloader_num=2.0&install_start_downloader=true"
            "&install_finish_downloader=true");
}

TEST(EventReportTest, SendsOncePerRunAsUtf8) {
  REQUIRE_FIXTURE();
  const net_test::ScopedConfig config(
      {{"UpdateEventUrl", platform::AnsiToWide(net_test::HttpBase() + "/report?key=run1")}});
  startup::Parameters().Clear();
  startup::Parameters().Insert("GUID", L"\u4e2d-guid");
  EventReporter reporter;
  reporter.SetIdentity(L"999999", L"5.1");
  reporter.MarkStartTime();
  EXPECT_GT(reporter.start_time(), 0);
  EXPECT_TRUE(reporter.SendReport());
  EXPECT_TRUE(reporter.SendReport());  // the second call sends nothing
  startup::Parameters().Clear();
  const auto recorded = net_test::Recorded("run1");
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0].second,
            "uid=\xE4\xB8\xAD-guid&url=999999&downloader_num=5.1&install_start_downloader=false"
            "&install_finish_downloader=false");
}

TEST(EventReportTest, ADeadEndpointOnlyCostsTheBoundedWait) {
  REQUIRE_FIXTURE();
  // The sender keeps its own copy and goes on alone after the wait.
  EXPECT_FALSE(EventReporter::SendBody(net_test::HttpBase() + "/silent", "uid=x", 300));
  // An unconfigured endpoint fails at once (all three attempts), without hanging.
  EXPECT_TRUE(EventReporter::SendBody("", "uid=x", kReportWaitMs));
}

// setup.exe itself: the entry point posts one report at the end of the run.
TEST(EventReportTest, TheProgramReportsItsRunOnce) {
  REQUIRE_FIXTURE();
  test_support::SetupSandbox sandbox;
  sandbox.WriteConfig(L"InitConfigure.ini",
                      "[Product]\nUpdateEventUrl=" + net_test::HttpBase() + "/report?key=entry\n");
  const test_support::ProcessResult result =
      sandbox.Run(L"INSTALL_TYPE=1 ||| GUID=test-guid ||| EXENAME=Setup.42[ab].exe ||| PRODUCT_VERSION=3.0");
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exit_code, 1u);
  const auto recorded = net_test::Recorded("entry");
  ASSERT_EQ(recorded.size(), 1u);
  // Without a RegistryName the product never counts as installed: the
  // install starts (and fails, there is no release server).
  EXPECT_EQ(recorded[0].second,
            "uid=test-guid&url=42[ab]&downloader_num=3.0&install_start_downloader=true"
            "&install_finish_downloader=false");
}

}  // namespace
}  // namespace net
