// A started program for GUI tests: offscreen, scripted questions, the real engine, a program
// folder and a home folder of the test's own.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QMimeData>
#include <cstdlib>
#include <memory>

#include "app/Startup.h"
#include "shell/TMain.h"
#include "tests/support/TestSupport.h"

namespace tavrin::test {

class AppFixture : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_app";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
    }
    void SetUp() override {
        if (const char* v = std::getenv("LD_LIBRARY_PATH")) savedLibraryPath_ = v;
        if (const char* v = std::getenv("HOME")) savedHome_ = v;
        setenv("LD_LIBRARY_PATH", TAVRIN_BIN_DIR, 1);
        setenv("HOME", home.Path().c_str(), 1);
        // The panes make the folder they list the working folder; start from one that lasts.
        (void)!chdir(home.Path().c_str());
    }
    void TearDown() override {
        startup.reset();
        (void)!chdir("/");
        if (savedLibraryPath_.empty())
            unsetenv("LD_LIBRARY_PATH");
        else
            setenv("LD_LIBRARY_PATH", savedLibraryPath_.c_str(), 1);
        setenv("HOME", savedHome_.c_str(), 1);
    }
    // Starts the program in the program folder.
    TMain& Start() {
        WorkingFolder cwd(programDir.Path());
        startup = std::make_unique<Startup>(questions);
        EXPECT_TRUE(startup->CreateWindows());
        questions.records.clear();  // the start-up's own notices (no decoder library here)
        return *startup->Main();
    }
    // Selects the left pane's item of that caption and clicks it.
    void Click(const std::string& caption) {
        TMain& main = *startup->Main();
        const auto& items = main.LeftPane->Logic().Items();
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i].caption == caption) {
                main.LeftPane->SelectRow(int(i));
                main.LeftPane->HandleClick();
                return;
            }
        }
        ADD_FAILURE() << "no item " << caption;
    }
    std::string Shown() { return startup->Main()->DescriptionBytes(); }
    // Selects the items of those captions in a pane; the first replaces the selection.
    void Select(TMFileExplorer* pane, std::initializer_list<const char*> names) {
        const auto& items = pane->Logic().Items();
        bool first = true;
        for (const char* name : names) {
            bool found = false;
            for (std::size_t i = 0; i < items.size(); ++i)
                if (items[i].caption == name) {
                    pane->SelectRow(int(i), first);
                    first = false;
                    found = true;
                }
            EXPECT_TRUE(found) << name;
        }
    }
    // Drags the left pane's item of that caption onto the packer's list.
    void DropOnPacker(const char* caption) {
        TMain& main = *startup->Main();
        Select(main.LeftPane, {caption});
        std::unique_ptr<QMimeData> data(main.LeftPane->MakeDragData());
        main.LeftPane->Logic().Click();
        ASSERT_TRUE(main.ListaZipDragOver(TMFileExplorer::PaneOfDrag(data.get())));
        main.ListaZipDragDrop(TMFileExplorer::PaneOfDrag(data.get()));
    }
    // Gives a pane the focus in the (active) main window.
    void Focus(TMFileExplorer* pane) {
        QApplication::setActiveWindow(startup->Main());
        pane->SetFocus();
        QApplication::processEvents();
        ASSERT_TRUE(pane->HasFocus());
    }

    TempDir programDir;
    TempDir home;
    ScriptedQuestions questions;
    std::unique_ptr<Startup> startup;

  private:
    std::string savedLibraryPath_, savedHome_;
};

}  // namespace tavrin::test
