#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/watchdog.h"
#include "fake_platform.h"

namespace pantrel {
namespace {

using testing::FakeWorld;
using testing::ProcessExit;

// Runs the watchdog over scripted snapshots; returns the exit code it ended
// with (99: it was still watching when the script ran out).
std::uint32_t Watch(FakeWorld& world, const std::string& name) {
  world.snapshotLimit = world.snapshots.size();
  try {
    watch_process(world, name);
  } catch (const ProcessExit& exit) {
    return exit.code;
  }
  return 0;
}

struct WatchCase {
  const char* what;
  std::string watched;
  std::vector<std::string> processes;
  std::uint32_t exitCode;
};

void PrintTo(const WatchCase& c, std::ostream* os) { *os << c.what; }

class WatchRuleTest : public ::testing::TestWithParam<WatchCase> {};

TEST_P(WatchRuleTest, ComparesWholeNamesCaseSensitively) {
  FakeWorld world;
  world.snapshots = {GetParam().processes};
  EXPECT_EQ(Watch(world, GetParam().watched), GetParam().exitCode);
}

const std::string kLong(120, 'a');

INSTANTIATE_TEST_SUITE_P(
    Names, WatchRuleTest,
    ::testing::Values(WatchCase{"exact", "host.exe", {"System", "host.exe", "other.exe"}, 99},
                      WatchCase{"only_the_host", "host.exe", {"host.exe"}, 99},
                      WatchCase{"case_differs", "host.EXE", {"host.exe"}, 1},
                      WatchCase{"with_folder", "C:\\host.exe", {"host.exe"}, 1},
                      WatchCase{"without_extension", "host", {"host.exe"}, 1},
                      WatchCase{"prefix_only", "host.exe", {"host.exe2"}, 1},
                      WatchCase{"long_names_whole", kLong + ".exe", {kLong + ".exe"}, 99},
                      WatchCase{"long_names_differ_late", kLong + "x.exe", {kLong + "y.exe"}, 1}),
    [](const auto& test) { return std::string(test.param.what); });

TEST(Watchdog, PausesHalfASecondBetweenPassesAndEndsWhenTheHostIsGone) {
  FakeWorld world;
  world.snapshots = {{"host.exe"}, {"host.exe", "host.exe"}, {"other.exe"}};
  EXPECT_EQ(Watch(world, "host.exe"), 1u);
  EXPECT_THAT(world.sleeps, ::testing::ElementsAre(500u, 500u));
  // Each snapshot is released before the decision.
  auto closes = std::count_if(world.calls.begin(), world.calls.end(),
                              [](const std::string& c) { return c.rfind("CloseHandle", 0) == 0; });
  EXPECT_EQ(closes, 3);
}

TEST(Watchdog, UnreadableSnapshotIsRetriedAtOnceWithoutEnding) {
  FakeWorld world;
  world.snapshots = {{}, {}, {"host.exe"}};
  EXPECT_EQ(Watch(world, "host.exe"), 99u);
  EXPECT_THAT(world.sleeps, ::testing::ElementsAre(500u));
}

}  // namespace
}  // namespace pantrel
