// Lists an archive into the unzip dialog as the program does and prints the seconds it took
// (best of RUNS) and the peak memory in MiB.
//   unzip_dialog_probe ARCHIVE [RUNS]
#include <sys/resource.h>

#include <QApplication>
#include <QListWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/Startup.h"
#include "bench/Unattended.h"
#include "packer/ZipUnzip.h"
#include "shell/TMain.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: unzip_dialog_probe ARCHIVE [RUNS]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    bench::Unattended questions;
    tavrin::Startup startup(questions);
    if (!startup.CreateWindows()) return 1;
    tavrin::TMain& main = *startup.Main();
    main.FrmUnzip->show();
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        main.Get_Contents(argv[1]);
        main.FrmUnzip->FilesList->repaint();
        app.processEvents();
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%d lines %.3f s %.1f MiB\n", main.FrmUnzip->FilesList->count(), best,
                usage.ru_maxrss / 1024.0);
    return 0;
}
