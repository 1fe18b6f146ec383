#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QToolButton>
#include <cstdlib>

#include "app/Startup.h"
#include "mp3/Genres.h"
#include "platform/Volumes.h"
#include "shell/TMain.h"
#include "tests/app/AppFixture.h"

namespace tavrin {
namespace {

using test::FileExists;
using test::ScriptedQuestions;
using test::TempDir;
using test::WorkingFolder;
using test::WriteFile;

// The start-up itself: the tests create the program's windows in a folder of their own.
class StartupTest : public test::AppFixture {};

TEST_F(StartupTest, FirstStartShowsBuiltInTextsAndLeavesNoSettingsFile) {
    WorkingFolder cwd(home.Path());
    Startup startup(questions);
    ASSERT_TRUE(startup.CreateWindows());
    TMain& main = *startup.Main();
    EXPECT_EQ(startup.State().ProgramDir, home.Path());
    EXPECT_EQ(startup.State().LanguageName, "default");
    EXPECT_FALSE(startup.LanguageFile());
    EXPECT_FALSE(FileExists(home / "tavrin.ini"));
    EXPECT_EQ(main.windowTitle(), "Tavrin 2.7");
    EXPECT_EQ(main.b_unzip->text(), "Unzip...");
    EXPECT_EQ(main.b_dizmode->text(), "DIZ && MP3 info");
    EXPECT_EQ(main.StatusPanel0->text(), "AUTO VIEW");
    EXPECT_EQ(startup.State().ConfirmCopyText, "Confirm copy");
    EXPECT_EQ(startup.State().FilesWordText, "file(s)");
    EXPECT_EQ(main.size(), QSize(809, 586));
    EXPECT_TRUE(main.ZipEngine().zip.IsLoaded());
    EXPECT_NE(startup.State().UnzipCallbacks.print, nullptr);
}

TEST_F(StartupTest, MissingDecoderIsReportedAndTheGenreBoxesAreStillFilled) {
    WorkingFolder cwd(home.Path());
    Startup startup(questions);
    ASSERT_TRUE(startup.CreateWindows());
    ASSERT_EQ(questions.records.size(), 1u);
    EXPECT_EQ(questions.records[0].kind, "error");
    EXPECT_EQ(questions.records[0].title, "Tavrin 2.7");
    EXPECT_EQ(questions.records[0].text, "Can't load MPEG library.");
    EXPECT_FALSE(startup.Main()->MPEG1().IsLoaded());
    for (QComboBox* box : {startup.Main()->CB_Genre, startup.Main()->CB_genre2}) {
        ASSERT_EQ(box->count(), 149);
        EXPECT_EQ(box->itemText(0), "");
        EXPECT_EQ(box->itemText(1), "Blues");
        EXPECT_EQ(box->itemText(148), "Synthpop");
    }
}

TEST_F(StartupTest, MissingEngineEndsTheProgramWithItsMessage) {
    unsetenv("LD_LIBRARY_PATH");
    WorkingFolder cwd(home.Path());
    Startup startup(questions);
    EXPECT_FALSE(startup.CreateWindows());
    ASSERT_FALSE(questions.records.empty());
    EXPECT_EQ(questions.records[0].kind, "error");
    EXPECT_EQ(questions.records[0].text.rfind("Cannot find libzip32.so.\n", 0), 0u);
}

TEST_F(StartupTest, LanguageSettingDecidesTheLanguageFile) {
    struct Case {
        std::string ini;
        std::string name;
        bool applied;
    };
    for (const Case& c : {Case{"[International]\r\nLanguage=default\r\n", "default", false},
                          Case{"[international]\nLANGUAGE = \"Default\"\n", "Default", true},
                          Case{"[International]\nLanguage=ITALIAN.TVK\n", "ITALIAN.TVK", true},
                          Case{"[International]\nLanguage=\n", "", true},
                          Case{"[Other]\nLanguage=x\n", "default", false}}) {
        TempDir folder;
        WriteFile(folder / "tavrin.ini", c.ini);
        WorkingFolder cwd(folder.Path());
        ScriptedQuestions q;
        Startup startup(q);
        ASSERT_TRUE(startup.CreateWindows());
        EXPECT_EQ(startup.State().LanguageName, c.name) << c.ini;
        EXPECT_EQ(startup.LanguageFile().has_value(), c.applied) << c.ini;
        if (c.applied) {
            EXPECT_EQ(*startup.LanguageFile(), folder.Path() + "/" + c.name);
        }
    }
}

TEST_F(StartupTest, DriveBoxesListTheMountedVolumesInOrder) {
    WorkingFolder cwd(home.Path());
    Startup startup(questions);
    ASSERT_TRUE(startup.CreateWindows());
    std::vector<Volume> volumes = MountedVolumes();
    ASSERT_FALSE(volumes.empty());
    QComboBox* left = startup.Main()->CB_DriveM;
    ASSERT_EQ(left->count(), int(volumes.size()));
    for (int i = 0; i < left->count(); ++i) {
        EXPECT_EQ(left->itemText(i).toStdString(), volumes[i].rootPath);
        EXPECT_FALSE(IsPseudoFileSystem(volumes[i].fileSystemType));
    }
    EXPECT_EQ(startup.Main()->CB_DriveR->count(), left->count());
    EXPECT_EQ(left->currentText().toStdString(),
              VolumeRootOf(startup.Main()->CBDirM->currentText().toStdString(), volumes));
}

TEST(Volumes, TypesAndRoots) {
    EXPECT_EQ(DriveTypeOf("nfs4", "server:/x"), kDriveRemote);
    EXPECT_EQ(DriveTypeOf("iso9660", "/dev/sr0"), kDriveCdrom);
    EXPECT_EQ(DriveTypeOf("tmpfs", "tmpfs"), kDriveRam);
    EXPECT_EQ(DriveTypeOf("weird", "none"), kDriveUnknown);
    EXPECT_TRUE(IsPseudoFileSystem("proc"));
    EXPECT_FALSE(IsPseudoFileSystem("ext4"));
    std::vector<Volume> v(3);
    v[0].rootPath = "/";
    v[1].rootPath = "/home/";
    v[2].rootPath = "/home/user/usb/";
    EXPECT_EQ(VolumeRootOf("/home/user/usb/a/b/", v), "/home/user/usb/");
    EXPECT_EQ(VolumeRootOf("/home/user/", v), "/home/");
    EXPECT_EQ(VolumeRootOf("/homework/", v), "/");
    EXPECT_EQ(VolumeRootOf("/home", v), "/home/");
}

}  // namespace
}  // namespace tavrin
