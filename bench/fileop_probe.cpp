// Runs the file manager's file operation as the Copy and Delete buttons do, with the real
// progress window (offscreen unless a display is chosen), and prints the seconds it took and
// when the window appeared.
//   fileop_probe copy SOURCE DESTINATION   copies the folder SOURCE into DESTINATION
//   fileop_probe delete FOLDER             deletes every entry of FOLDER, selected together
#include <QApplication>
#include <QDir>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "bench/Unattended.h"
#include "platform/fileop/FileOperation.h"
#include "shell/QtFileOpProgress.h"

int main(int argc, char** argv) {
    bool copy = argc == 4 && std::strcmp(argv[1], "copy") == 0;
    bool remove = argc == 3 && std::strcmp(argv[1], "delete") == 0;
    if (!copy && !remove) {
        std::fprintf(stderr,
                     "usage: fileop_probe copy SOURCE DESTINATION | fileop_probe delete FOLDER\n");
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<std::string> sources;
    if (copy) {
        sources = {argv[2]};
    } else {
        // The pane's selection: every entry of the folder, as full paths.
        QDir folder(QFile::decodeName(argv[2]));
        for (const QString& name : folder.entryList(
                 QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name))
            sources.push_back(QFile::encodeName(folder.filePath(name)).toStdString());
    }

    bench::Unattended questions;
    tavrin::QtFileOpProgress progress(nullptr);
    auto start = std::chrono::steady_clock::now();
    double shownAfter = -1;
    progress.onShown = [&] {
        shownAfter =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    tavrin::FileOperation operation(questions, &progress);
    tavrin::FileOpResult result =
        copy ? operation.Run(tavrin::FileOpKind::Copy, sources, {argv[3]})
             : operation.Run(tavrin::FileOpKind::Delete, sources, {}, tavrin::kFofNoConfirmation);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.3f s, %d failures, %zu names, window ", seconds, result.failures,
                sources.size());
    if (shownAfter < 0)
        std::printf("never shown\n");
    else
        std::printf("after %.3f s\n", shownAfter);
    return result.failures ? 1 : 0;
}
