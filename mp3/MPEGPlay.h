// TMPEGPlayer: plays an MP3 file through the decoder library libmpegdll.so, loaded at run
// time from the program folder.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "engine/Zip32.h"  // SharedLibrary

namespace tavrin {

// The player's error: a message and an 8-bit code.
class TMPEGError : public std::runtime_error {
  public:
    TMPEGError(const std::string& message, std::uint8_t code)
        : std::runtime_error(message), ErrorCode(code) {}
    std::uint8_t ErrorCode;
};

// Message of a library error code (0..5); other codes get a generic text.
std::string MPEGErrorMessage(int code);

inline constexpr const char* kDecoderLibraryName = "libmpegdll.so";

class TMPEGPlayer {
  public:
    // The decoder library's entry points.
    struct Entries {
        int (*init)() = nullptr;
        int (*deinit)() = nullptr;
        int (*Open)(const char* name, int mode, void* open, void* close, void* restart, void* read,
                    void* seek, void* size, void* context) = nullptr;
        int (*Pause)(int resume) = nullptr;
        int (*Restart)() = nullptr;
        int (*Stop)() = nullptr;
        int (*SetPriority)(int priority) = nullptr;
        int (*SetOutputDevice)(int device, const char* fileName) = nullptr;
        int (*Play)(int startPos, int endPos, unsigned char* ended) = nullptr;
        int (*Close)() = nullptr;
        int (*GetFrequency)() = nullptr;
        int (*GetBitrate)() = nullptr;
        int (*GetLayer)() = nullptr;
        int (*GetPlayerMode)() = nullptr;
        int (*GetCurrentPos)() = nullptr;
        int (*GetLength)() = nullptr;
        int (*ResetPlayerMode)() = nullptr;
        int (*Seek)(int position) = nullptr;
        int (*LastError)() = nullptr;
    };

    // Loads programDir + "/libmpegdll.so", resolves the 19 entry points and calls init.
    // Throws TMPEGError "Can't load MPEG library" when the file cannot be loaded, code 0
    // "MPEG library not loaded" when an entry point is missing, and the message of the
    // library's error code when init fails.
    void BindLibrary(const std::string& programDir);
    bool IsLoaded() const { return loaded_; }

    std::string PathToDLL;  // stored only
    int LastErrorCode = 0;

  private:
    SharedLibrary library_;
    Entries entries_;
    bool loaded_ = false;
};

}  // namespace tavrin
