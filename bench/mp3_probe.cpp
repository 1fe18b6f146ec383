// The MP3 side as the program drives it:
//   mp3_probe view FILE        seconds ViewMP3 takes to show FILE in the tag panel (best of 5)
//   mp3_probe play FILE PCM    milliseconds from Play until the first sound reaches PCM, and the
//                              processor time the whole decode took per second of sound
#include <sys/resource.h>
#include <sys/stat.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "app/Startup.h"
#include "bench/Unattended.h"
#include "mp3/MPEGPlay.h"
#include "mp3/MPEGaudio.h"
#include "shell/TMain.h"

namespace {

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double CpuSeconds() {
    struct rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: mp3_probe view FILE | play FILE PCM\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bench::Unattended questions;
    tavrin::Startup startup(questions);
    if (!startup.CreateWindows()) return 1;
    tavrin::TMain& main = *startup.Main();
    if (std::strcmp(argv[1], "view") == 0) {
        double best = 1e9;
        for (int i = 0; i < 5; ++i) {
            double start = Now();
            main.ViewMP3(argv[2]);
            best = std::min(best, Now() - start);
        }
        std::printf("view %.6f s\n", best);
        return 0;
    }
    if (argc < 4) return 2;
    tavrin::TMPEGaudio audio;
    audio.Analyse(argv[2]);
    tavrin::TMPEGPlayer& player = main.MPEG1();
    player.OutFilename = argv[3];
    player.SetOutputDevice(tavrin::TOutputDevice::pcmfile);
    double cpu = CpuSeconds(), start = Now(), first = 0;
    player.SetStreamName(argv[2]);
    player.OpenStream();
    player.StartPlay();
    struct stat st {};
    while (!player.Ended()) {
        if (first == 0 && stat(argv[3], &st) == 0 && st.st_size > 0) first = Now() - start;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    double used = CpuSeconds() - cpu;
    std::printf(
        "first sound %.1f ms, %.3f s of processor for %.1f s of sound (%.2f%% of one core)\n",
        first * 1000, used, audio.Duration(), 100 * used / audio.Duration());
    return 0;
}
