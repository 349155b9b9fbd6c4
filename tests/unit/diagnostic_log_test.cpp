// The log file a user can send: switched on by config.ini, one time-stamped
// line per debugger-output line, at most 1 MiB with one older file, and
// never a failure of the program.
#include "support/diagnostic_log.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/sim/sim_world.h"

namespace zr {
namespace {

using sim::SimProcess;
using sim::SimWorld;

const char kLog[] = "C:\\users\\player\\AppData\\Local\\zrmon.log";
const char kOlder[] = "C:\\users\\player\\AppData\\Local\\zrmon.log.1";

class DiagnosticLogTest : public ::testing::Test {
 protected:
  void SetUp() override { world.files.AddFolder(world.files.localAppData); }
  std::string Text(const char* path) const {
    const auto bytes = world.files.GetFile(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : "<missing>";
  }
  SimWorld world;
  SimProcess process{world};
  DiagnosticLog log{process.system(), process.platform().files, kLog};
};

TEST_F(DiagnosticLogTest, TheConfigurationSwitchesItOnlyOn) {
  const struct {
    const char* ini;
    bool on;
  } cases[] = {
      {nullptr, false},
      {"[options]\nprofileFolder=Profile\n", false},
      {"[Diagnostics]\nLogFile=0\n", false},
      {"[Diagnostics]\nLogFile=1\n", true},
      {"[diagnostics]\n logfile = 1 ; send it\n", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ini ? c.ini : "no config.ini");
    world.files.DeleteFile(process.ExeFolder() + "config.ini");
    if (c.ini) world.files.PutText(process.ExeFolder() + "config.ini", c.ini);
    EXPECT_EQ(DiagnosticLogPath(process.platform().files, process.system()), c.on ? kLog : "");
  }
}

TEST_F(DiagnosticLogTest, LinesAreTimeStampedAppendedAndStillGoToTheDebugger) {
  world.files.PutText(kLog, "earlier\r\n");
  world.AdvanceBy(42);
  log.DebugOutput("device change: gone");
  world.AdvanceBy(86400000);  // a day later, and the line breaks inside become blanks
  log.DebugOutput("two\r\nlines");
  EXPECT_EQ(Text(kLog),
            "earlier\r\n"
            "2026-03-14 09:26:53.042 device change: gone\r\n"
            "2026-03-15 09:26:53.042 two  lines\r\n");
  EXPECT_EQ(process.system().debugLines, (std::vector<std::string>{"device change: gone", "two\r\nlines"}));
}

TEST_F(DiagnosticLogTest, TheClockRollsOverMonthsAndYears) {
  const struct {
    LocalDateTime start;
    std::uint64_t after;
    const char* stamp;
  } cases[] = {
      {{2026, 12, 31, 23, 59, 59, 999}, 1, "2027-01-01 00:00:00.000"},
      {{2028, 2, 28, 12, 0, 0, 0}, 86400000, "2028-02-29 12:00:00.000"},
      {{2027, 2, 28, 12, 0, 0, 0}, 86400000, "2027-03-01 12:00:00.000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stamp);
    SimWorld w;
    SimProcess p(w);
    p.system().clockStart = c.start;
    w.AdvanceBy(c.after);
    EXPECT_EQ(DiagnosticLogLine(p.system().LocalTime(), "x"), std::string(c.stamp) + " x\r\n");
  }
}

TEST_F(DiagnosticLogTest, AFullFileBecomesTheOlderOneAndANewOneStarts) {
  const std::string line = DiagnosticLogLine(process.system().LocalTime(), "next");
  const struct {
    std::uint64_t before;
    bool moves;
  } cases[] = {
      {DiagnosticLog::kMaxBytes - line.size(), false},  // exactly full: stays
      {DiagnosticLog::kMaxBytes - line.size() + 1, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    world.files.PutText(kOlder, "oldest");
    world.files.PutText(kLog, std::string(c.before, 'a'));
    log.DebugOutput("next");
    if (c.moves) {
      EXPECT_EQ(Text(kOlder), std::string(c.before, 'a'));
      EXPECT_EQ(Text(kLog), line);
    } else {
      EXPECT_EQ(Text(kOlder), "oldest");
      EXPECT_EQ(world.files.FileSize(kLog), DiagnosticLog::kMaxBytes);
    }
  }
}

TEST_F(DiagnosticLogTest, AnOlderFileThatCannotBeReplacedStillKeepsTheLimit) {
  world.files.PutText(kOlder, "held");
  world.files.SetUnreadable(kOlder);
  world.files.PutText(kLog, std::string(DiagnosticLog::kMaxBytes, 'a'));
  log.DebugOutput("next");
  EXPECT_EQ(Text(kLog), DiagnosticLogLine(process.system().LocalTime(), "next"));
}

TEST_F(DiagnosticLogTest, WritesThatFailLoseOnlyTheLine) {
  // A missing folder, then a full disk.
  world.files.RemoveFolder(world.files.localAppData);
  log.DebugOutput("one");
  EXPECT_FALSE(world.files.FileExists(kLog));
  world.files.AddFolder(world.files.localAppData);
  world.files.FailWritesAfterBytes(0);
  log.DebugOutput("two");
  world.files.FailWritesAfterBytes(-1);
  log.DebugOutput("three");
  EXPECT_EQ(Text(kLog), DiagnosticLogLine(process.system().LocalTime(), "three"));
  EXPECT_EQ(process.system().debugLines.size(), 3u);
}

}  // namespace
}  // namespace zr
