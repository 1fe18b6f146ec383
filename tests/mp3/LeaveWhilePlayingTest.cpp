// Leaving while a file plays on the sound device: destroying the player, exit() and closing
// the main window all end the program at once. The sound goes through libout123's output
// modules into ALSA, which the test's own .asoundrc points at a FIFO; the program runs as a
// child process, killed if it hangs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/ChildProcess.h"
#include "tests/support/TestSupport.h"

namespace tavrin::test {
namespace {

class LeaveWhilePlaying : public ::testing::TestWithParam<const char*> {
  protected:
    static const std::string& LongTone() {  // 10 s: playing it to its end takes seconds
        static TempDir dir;
        static const std::string file = MakeToneMp3(dir, "long", "-b 128", 10);
        return file;
    }
};

TEST_P(LeaveWhilePlaying, EndsWithinASecond) {
    TempDir home;
    const std::string fifo = home / "sound.raw";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    WriteFile(home / ".asoundrc",
              "pcm.!default {\n"
              "    type file\n"
              "    slave.pcm \"null\"\n"
              "    file \"" +
                  fifo +
                  "\"\n"
                  "    format \"raw\"\n"
                  "}\n");
    WriteFile(home / "tone.mp3", ReadFile(LongTone()));
    ChildRun run = RunWatched(
        {std::string(TAVRIN_TEST_DIR) + "/play_and_leave", GetParam(), home / "tone.mp3", fifo},
        {{"HOME", home.Path()},
         {"XDG_RUNTIME_DIR", home.Path()},
         {"LD_LIBRARY_PATH", TAVRIN_BIN_DIR},  // the zip engine
         // No sound server: the next output module, ALSA, plays.
         {"PULSE_SERVER", "unix:" + home / "no-server"},
         {"QT_QPA_PLATFORM", "offscreen"}},
        "playing", 20, 5);
    ASSERT_TRUE(run.started);
    if (run.exitCode == 3) GTEST_SKIP() << run.output;  // no ALSA output module here
    ASSERT_TRUE(run.markerSeen) << run.output;
    EXPECT_TRUE(run.endedInTime) << "still running " << run.secondsAfterMarker
                                 << " s after leaving; killed\n"
                                 << run.output;
    EXPECT_EQ(run.signal, 0) << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_LT(run.secondsAfterMarker, 1.0) << run.output;
}

INSTANTIATE_TEST_SUITE_P(Modes, LeaveWhilePlaying,
                         ::testing::Values("player-destroyed", "process-exit", "window-closed"),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::erase(name, '-');
                             return name;
                         });

}  // namespace
}  // namespace tavrin::test
