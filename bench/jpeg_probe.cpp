// Shows one JPEG picture in the viewer window, as the View button does, and prints the time
// until its first rows are drawn and until the whole picture has decoded (best of RUNS, in
// milliseconds), and the number of output passes.
//   jpeg_probe FILE [RUNS]
#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>

#include "viewer/FormView.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: jpeg_probe FILE [RUNS]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string path = argv[1];
    tavrin::viewer::TViewForm form;
    form.fileToShow = [&] { return std::optional<std::string>(path); };
    form.show();
    app.processEvents();
    double bestFirst = 1e9, bestTotal = 1e9;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        double first = -1;
        form.onPictureProgress = [&] {
            if (first >= 0) return;
            form.Imma->repaint();  // the rows ready so far, on the screen
            first = timer.nsecsElapsed() / 1e6;
        };
        timer.start();
        form.FormShow();
        while (form.PictureLoading()) app.processEvents(QEventLoop::WaitForMoreEvents);
        const double total = timer.nsecsElapsed() / 1e6;
        if (form.Imma->Picture().isNull()) {
            std::fprintf(stderr, "jpeg_probe: the picture did not decode\n");
            return 1;
        }
        bestFirst = std::min(bestFirst, first);
        bestTotal = std::min(bestTotal, total);
    }
    std::printf("first_ms %.1f total_ms %.1f\n", bestFirst, bestTotal);
    return 0;
}
