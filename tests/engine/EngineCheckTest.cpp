#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/Engine.h"
#include "tests/support/TestSupport.h"

namespace tavrin {
namespace {

using test::TempDir;
using test::WorkingFolder;

// The check searches the program's folder, the working folder, LD_LIBRARY_PATH and the
// system folders; the tests steer it through the working folder.
class EngineCheckTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* v = std::getenv("LD_LIBRARY_PATH")) saved_ = v;
        unsetenv("LD_LIBRARY_PATH");
    }
    void TearDown() override {
        if (!saved_.empty()) setenv("LD_LIBRARY_PATH", saved_.c_str(), 1);
    }
    std::string saved_;
};

TEST_F(EngineCheckTest, MissingLibraryGivesTheNotFoundMessage) {
    TempDir empty;
    WorkingFolder cwd(empty.Path());
    try {
        ZipDllCheck();
        FAIL() << "the check passed without a library";
    } catch (const EngineCheckError& e) {
        EXPECT_EQ(e.Code(), 1);
        EXPECT_STREQ(e.what(),
                     "Cannot find libzip32.so.\n"
                     "The Dll must be in the application directory, the path,\n"
                     "the Windows directory or the Windows System directory.");
    }
}

TEST_F(EngineCheckTest, WrongMakerOrVersionGivesTheVersionMessage) {
    for (const char* fake : {"wrongcompany", "wrongversion"}) {
        WorkingFolder cwd(std::string(TAVRIN_TEST_DIR) + "/fakes/" + fake);
        try {
            ZipDllCheck();
            ADD_FAILURE() << fake << " passed the check";
        } catch (const EngineCheckError& e) {
            EXPECT_EQ(e.Code(), 2) << fake;
            EXPECT_STREQ(e.what(),
                         "libzip32.so has the wrong version number.\n"
                         "Insure that you have the correct dll's installed, and that \n"
                         "an older dll is not in your path or Windows System directory.");
        }
    }
}

TEST_F(EngineCheckTest, RealEnginePassesAndLoadsBothLibraries) {
    WorkingFolder cwd(TAVRIN_BIN_DIR);
    EXPECT_EQ(GetDllVersionString(std::string(TAVRIN_BIN_DIR) + "/libzip32.so", "CompanyName"),
              "Info-ZIP");
    EXPECT_EQ(GetDllVersionString(std::string(TAVRIN_BIN_DIR) + "/libzip32.so", "FileVersion"),
              "2.3");
    EXPECT_FALSE(GetDllVersionString(std::string(TAVRIN_BIN_DIR) + "/libzip32.so", "NoSuchKey"));
    EXPECT_FALSE(GetDllVersionString("/nonexistent/libzip32.so", "CompanyName"));
    Engine engine;
    ASSERT_NO_THROW(LoadCheckedEngine(engine));
    EXPECT_TRUE(engine.zip.IsLoaded());
    EXPECT_TRUE(engine.unzip.IsLoaded());
}

TEST_F(EngineCheckTest, LibraryPathIsSearchedAfterTheWorkingFolder) {
    TempDir empty;
    WorkingFolder cwd(empty.Path());
    setenv("LD_LIBRARY_PATH", TAVRIN_BIN_DIR, 1);
    EXPECT_EQ(ZipDllCheck(), std::string(TAVRIN_BIN_DIR) + "/libzip32.so");
}

}  // namespace
}  // namespace tavrin
