// Lists one folder in a file-list pane in the report view, as the program shows it, and
// prints the seconds the listing took (best of RUNS) and the peak memory in MiB.
//   filelist_probe FOLDER [RUNS]

#include <QAbstractItemView>
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "bench/PeakMemory.h"
#include "filemanager/MFileExplorer.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: filelist_probe FOLDER [RUNS]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    std::string programDir;
    tavrin::TMFileExplorer pane(&programDir);
    pane.SetFileType(tavrin::ftArchive | tavrin::ftNormal);
    pane.SetViewStyle(tavrin::TMFileExplorer::vsReport);
    pane.resize(800, 600);
    pane.show();
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        if (pane.Directory().empty())
            pane.SetDirectory(argv[1]);
        else
            pane.FillList();
        pane.CurrentView()->viewport()->repaint();  // the first screen drawn
        app.processEvents();
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::min(best, s);
    }
    std::printf("%zu rows %.3f s %.1f MiB\n", pane.Logic().Items().size(), best, bench::PeakMiB());
    return 0;
}
