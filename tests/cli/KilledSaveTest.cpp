// A save killed at any moment leaves the file wholly old or wholly new, and the next save
// leaves no temporary behind: tavrin-cli saving a large MP3 and a large archive is killed at
// random moments.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>

#include "tests/support/ChildProcess.h"
#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr int kKills = 12;

const std::string kCli = std::string(TAVRIN_BIN_DIR) + "/tavrin-cli";

double SecondsOf(const std::vector<std::string>& argv) {
    const auto start = std::chrono::steady_clock::now();
    std::string command;
    for (const std::string& arg : argv) command += "'" + arg + "' ";
    EXPECT_EQ(test::RunCommand(command + ">/dev/null 2>&1"), 0) << command;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Names in the folder that are not `keep`.
std::vector<std::string> Others(const TempDir& dir, const std::vector<std::string>& keep) {
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        const std::string name = entry.path().filename().string();
        if (std::find(keep.begin(), keep.end(), name) == keep.end()) others.push_back(name);
    }
    return others;
}

class KilledSave : public ::testing::Test {
  protected:
    // Kills `argv` at random moments up to a little past the time a whole save takes; after
    // each kill `check` is given the file's bytes and `restore` puts the old file back.
    template <typename Check, typename Restore>
    void KillRepeatedly(const std::vector<std::string>& argv, double wholeSave, Check check,
                        Restore restore) {
        std::uniform_real_distribution<double> moment(0.0, wholeSave * 1.2);
        int killed = 0;
        for (int i = 0; i < kKills; ++i) {
            const double at = moment(random);
            killed += test::RunAndKill(argv, at) ? 1 : 0;
            SCOPED_TRACE("killed after " + std::to_string(at) + " s");
            check();
            restore();
        }
        EXPECT_GE(killed, kKills / 2) << "the saves ended before the kills";
    }
    TempDir dir;
    std::mt19937 random{std::random_device{}()};
};

TEST_F(KilledSave, AnMp3IsWhollyOldOrWhollyNew) {
    const std::string tone = test::MakeToneMp3(dir, "tone", "-b 128", 1);
    ASSERT_FALSE(tone.empty());
    std::string old;
    const std::string piece = ReadFile(tone);
    while (old.size() < (std::size_t{16} << 20)) old += piece;  // about 16 MB of LAME frames
    const std::string file = dir / "big.mp3";
    const std::vector<std::string> save = {kCli, "tag", "--v2", "--title", "New", file};
    WriteFile(file, old);
    const double wholeSave = SecondsOf(save);
    const std::string saved = ReadFile(file);
    ASSERT_NE(saved, old);
    WriteFile(file, old);

    KillRepeatedly(
        save, wholeSave,
        [&] {
            const std::string now = ReadFile(file);
            EXPECT_TRUE(now == old || now == saved) << "a mixed file of " << now.size() << " bytes";
        },
        [&] { WriteFile(file, old); });
    SecondsOf(save);
    EXPECT_EQ(ReadFile(file), saved);
    EXPECT_EQ(Others(dir, {"big.mp3", "tone.mp3", "tone.wav", "tone.py"}),
              std::vector<std::string>{});
}

TEST_F(KilledSave, AnArchiveIsWhollyOldOrWhollyNew) {
    TempDir temp;  // the system's temporary folder of the saves
    std::string big(std::size_t{16} << 20, '\0');
    for (char& c : big) c = static_cast<char>(random());
    WriteFile(dir / "big.bin", big);
    WriteFile(dir / "text", "the new description\r\n");
    const std::string file = dir / "big.zip";
    ASSERT_EQ(test::RunCommand("cd '" + dir.Path() + "' && zip -q -0 big.zip big.bin"), 0);
    fs::remove(dir / "big.bin");
    const std::string old = ReadFile(file);
    const std::vector<std::string> save = {"/bin/sh", "-c",
                                           "TMPDIR='" + temp.Path() + "' exec '" + kCli +
                                               "' diz-set '" + file + "' < '" + dir / "text" + "'"};
    const double wholeSave = SecondsOf(save);
    ASSERT_EQ(test::UnzipEntry(file, "file_id.diz"), "the new description\r\n");
    WriteFile(file, old);

    KillRepeatedly(
        save, wholeSave,
        [&] {
            const std::string now = ReadFile(file);
            if (now == old) return;
            EXPECT_EQ(test::RunCommand("unzip -tqq '" + file + "' >/dev/null 2>&1"), 0)
                << "a damaged archive of " << now.size() << " bytes";
            EXPECT_EQ(test::UnzipEntry(file, "file_id.diz"), "the new description\r\n");
            EXPECT_EQ(test::UnzipNames(file), "big.bin\nfile_id.diz\n");
        },
        [&] { WriteFile(file, old); });
    SecondsOf(save);
    EXPECT_EQ(test::UnzipEntry(file, "file_id.diz"), "the new description\r\n");
    EXPECT_EQ(Others(dir, {"big.zip", "text"}), std::vector<std::string>{});
    // A save killed in the instant between making its private folder (under a hidden name)
    // and locking it leaves that empty folder; a later save takes it away once it is a minute
    // old, so that it never takes a folder that another save is just making. Nothing else stays.
    for (const auto& entry : fs::directory_iterator(temp.Path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name.rfind(".tavrin-diz-", 0) == 0 && fs::is_empty(entry.path()))
            << "left behind: " << name;
    }
}

}  // namespace
}  // namespace tavrin
