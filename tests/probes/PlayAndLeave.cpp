// Starts playing an MP3 on the default sound output and leaves while it plays; the tests run it
// as a child process and see how soon it ends.
//
//   play_and_leave MODE FILE FIFO
//     player-destroyed  the player is destroyed, then the program returns
//     process-exit      the program calls exit() with the player still playing
//     window-closed     the program is started, FILE (in the home folder) is selected in the
//                       left pane, Play pressed, and the main window closed
//
// The test's HOME holds an .asoundrc that sends ALSA's default output into FIFO, which this
// program drains at a few times the playing rate, as a sound card takes its samples. Prints
// "playing" once the stream is well under way, just before leaving. Exit 3: no sound output.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "app/Startup.h"
#include "mp3/MP3Panel.h"
#include "mp3/MPEGPlay.h"
#include "shell/TMain.h"
#include "tests/support/TestSupport.h"

namespace {

std::atomic<long> g_drained{0};
tavrin::TMPEGPlayer* g_player = nullptr;  // still playing at exit()

// Reads the sound output's FIFO, 4 KiB every 10 ms (about 2.3 times 44.1 kHz stereo).
void Drain(std::string fifo) {
    int fd = ::open(fifo.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    char buffer[4096];
    while (::read(fd, buffer, sizeof buffer) > 0) {
        g_drained += sizeof buffer;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::close(fd);
}

// Well under way: past 200 ms, and samples have reached the sound output.
bool UnderWay(tavrin::TMPEGPlayer& player) {
    return player.Position() > 200 && g_drained > 0;
}

void SayPlaying() {
    std::printf("playing (%ld bytes through the sound output)\n", g_drained.load());
    std::fflush(stdout);
}

int NoOutput(const char* what) {
    std::printf("no sound output: %s\n", what);
    return 3;
}

int PlayAndLeave(bool destroy, const std::string& file) {
    auto* player = g_player = new tavrin::TMPEGPlayer;
    try {
        player->BindLibrary(TAVRIN_BIN_DIR);
        player->SetStreamName(file);
        player->OpenStream();
        player->StartPlay();
        while (!UnderWay(*player)) {
            if (player->Ended()) return NoOutput("ended before it was under way");
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    } catch (const tavrin::TMPEGError& e) {
        return NoOutput(e.what());
    }
    SayPlaying();
    if (!destroy) std::exit(0);
    delete player;
    return 0;
}

int CloseWindowWhilePlaying(int argc, char** argv, const std::string& file) {
    QApplication application(argc, argv);
    tavrin::test::ScriptedQuestions questions;
    // The program folder is the build's, where the decoder library lies.
    if (::chdir(TAVRIN_BIN_DIR) != 0) return 2;
    tavrin::Startup startup(questions);
    if (!startup.CreateWindows()) {
        for (const auto& record : questions.records) std::printf("%s\n", record.text.c_str());
        return 2;
    }
    tavrin::TMain& main = *startup.Main();
    main.show();
    const auto& items = main.LeftPane->Logic().Items();
    std::string name = file.substr(file.rfind('/') + 1);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].caption == name) {
            main.LeftPane->SelectRow(int(i));
            main.LeftPane->HandleClick();
        }
    }
    main.MPanel->VrMediaButton1->click();
    if (!main.MPEG1().Playing())
        return NoOutput(questions.records.empty() ? "not playing"
                                                  : questions.records.back().text.c_str());
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!UnderWay(main.MPEG1())) return;
        poll.stop();
        SayPlaying();
        main.close();
    });
    poll.start(2);
    return application.exec();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: play_and_leave MODE FILE FIFO\n");
        return 2;
    }
    std::string mode = argv[1];
    std::thread(Drain, std::string(argv[3])).detach();
    if (mode == "player-destroyed") return PlayAndLeave(true, argv[2]);
    if (mode == "process-exit") return PlayAndLeave(false, argv[2]);
    if (mode == "window-closed") return CloseWindowWhilePlaying(argc, argv, argv[2]);
    std::fprintf(stderr, "unknown mode %s\n", argv[1]);
    return 2;
}
