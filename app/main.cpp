// Tavrin: shows and edits the description files of zip archives, packs and extracts
// archives, edits MP3 tags, and manages files in two panes.
#include <QApplication>

#include "app/Startup.h"
#include "shell/QtUserQuestions.h"
#include "shell/TMain.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(tavrin::kAppTitle);
    QApplication::setApplicationDisplayName(QString());
    tavrin::QtUserQuestions questions;
    tavrin::Startup startup(questions);
    if (!startup.CreateWindows()) return 1;
    questions.SetParent(startup.Main());
    startup.Main()->show();
    return application.exec();
}
