// Shows one file in the viewer window, as the View button does, and prints the time until the
// first screen is drawn, until the whole file has come in, and the longest time the event loop
// went without answering meanwhile (a timer asks every 5 ms), best of RUNS, in milliseconds.
//   viewer_probe FILE [RUNS]
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "viewer/FormView.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: viewer_probe FILE [RUNS]\n");
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

    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.elapsed());
        sinceTick.restart();
    });

    double bestFirst = 1e9, bestTotal = 1e9, bestGap = 1e9;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        double first = -1;
        // The first rows of a picture that loads while the event loop runs, on the screen.
        form.onPictureProgress = [&] {
            if (first >= 0) return;
            form.Imma->repaint();
            first = timer.nsecsElapsed() / 1e6;
        };
        longestGap = 0;
        sinceTick.start();
        ticker.start();
        timer.start();
        form.FormShow();
        if (first < 0) {
            // A text, or a picture shown at once: the screen as the window shows it now.
            if (!form.RE1->isHidden())
                (form.RE1->ShowsRich() ? form.RE1->Rich->viewport() : form.RE1->Plain->viewport())
                    ->repaint();
            else if (!form.PictureLoading())
                form.Imma->repaint();
            if (!form.PictureLoading()) first = timer.nsecsElapsed() / 1e6;
        }
        while (form.PictureLoading() || form.TextLoading())
            app.processEvents(QEventLoop::WaitForMoreEvents);
        const double total = timer.nsecsElapsed() / 1e6;
        longestGap = std::max(longestGap, sinceTick.elapsed());
        ticker.stop();
        if (form.RE1->isHidden() && form.Imma->Picture().isNull()) {
            std::fprintf(stderr, "viewer_probe: nothing was shown\n");
            return 1;
        }
        bestFirst = std::min(bestFirst, first);
        bestTotal = std::min(bestTotal, total);
        bestGap = std::min(bestGap, double(longestGap));
    }
    std::printf("first_ms %.1f total_ms %.1f longest_gap_ms %.1f\n", bestFirst, bestTotal, bestGap);
    return 0;
}
