// Drives the unzip dialog as the program does and prints the seconds it took and the peak
// memory in MiB:
//   unzip_dialog_probe ARCHIVE [RUNS]         listing into the dialog (best of RUNS)
//   unzip_dialog_probe extract ARCHIVE DIR    "Unzip all" with "extract with path" and
//                                             "always overwrite" into DIR (one run)

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/Startup.h"
#include "bench/PeakMemory.h"
#include "bench/Unattended.h"
#include "packer/ZipUnzip.h"
#include "shell/TMain.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const bool extract = argc > 1 && std::strcmp(argv[1], "extract") == 0;
    if (argc < 2 || (extract && argc < 4)) {
        std::fprintf(stderr, "usage: unzip_dialog_probe ARCHIVE [RUNS] | extract ARCHIVE DIR\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bench::Unattended questions;
    tavrin::Startup startup(questions);
    if (!startup.CreateWindows()) return 1;
    tavrin::TMain& main = *startup.Main();
    main.FrmUnzip->show();

    if (extract) {
        const char* archive = argv[2];
        main.Get_Contents(archive);
        tavrin::TFrmUnzip& dialog = *main.FrmUnzip;
        dialog.T_Dir->setText(QString::fromLocal8Bit(argv[3]));
        dialog.chDFlag->setChecked(true);
        dialog.chOFlag->setChecked(true);
        dialog.R_all->setChecked(true);
        auto start = std::chrono::steady_clock::now();
        main.UnZip_SelectedFiles(archive, true);
        std::printf("%zu entries %.3f s %.1f MiB\n", main.State().ExtractNames.size(),
                    Seconds(start), bench::PeakMiB());
        return 0;
    }

    int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        main.Get_Contents(argv[1]);
        main.FrmUnzip->FilesList->repaint();
        app.processEvents();
        best = std::min(best, Seconds(start));
    }
    std::printf("%d lines %.3f s %.1f MiB\n", main.FrmUnzip->FilesList->count(), best,
                bench::PeakMiB());
    return 0;
}
