#include "mp3/MPEGPlay.h"

namespace tavrin {

std::string MPEGErrorMessage(int code) {
    switch (code) {
        case 0:
            return "MPEG library not loaded";
        case 1:
            return "Internal decoder error";
        case 2:
            return "Incorrect mode";
        case 3:
            return "Input stream error";
        case 4:
            return "Input stream is non-seekable";
        case 5:
            return "Output device failure";
        default:
            return "MPEG library error " + std::to_string(code);
    }
}

namespace {
template <typename T>
bool Bind(const SharedLibrary& lib, const char* name, T& target) {
    target = reinterpret_cast<T>(lib.Symbol(name));
    return target != nullptr;
}
}  // namespace

void TMPEGPlayer::BindLibrary(const std::string& programDir) {
    loaded_ = false;
    if (!library_.Open(programDir + "/" + kDecoderLibraryName, nullptr))
        throw TMPEGError("Can't load MPEG library", 0);
    Entries e;
    bool ok =
        Bind(library_, "init", e.init) && Bind(library_, "deinit", e.deinit) &&
        Bind(library_, "Open", e.Open) && Bind(library_, "Pause", e.Pause) &&
        Bind(library_, "Restart", e.Restart) && Bind(library_, "Stop", e.Stop) &&
        Bind(library_, "SetPriority", e.SetPriority) &&
        Bind(library_, "SetOutputDevice", e.SetOutputDevice) && Bind(library_, "Play", e.Play) &&
        Bind(library_, "Close", e.Close) && Bind(library_, "GetFrequency", e.GetFrequency) &&
        Bind(library_, "GetBitrate", e.GetBitrate) && Bind(library_, "GetLayer", e.GetLayer) &&
        Bind(library_, "GetPlayerMode", e.GetPlayerMode) &&
        Bind(library_, "GetCurrentPos", e.GetCurrentPos) &&
        Bind(library_, "GetLength", e.GetLength) &&
        Bind(library_, "ResetPlayerMode", e.ResetPlayerMode) && Bind(library_, "Seek", e.Seek) &&
        Bind(library_, "LastError", e.LastError);
    if (!ok) {
        library_.Close();
        throw TMPEGError(MPEGErrorMessage(0), 0);
    }
    if (!e.init()) {
        LastErrorCode = e.LastError();
        library_.Close();
        throw TMPEGError(MPEGErrorMessage(LastErrorCode), static_cast<std::uint8_t>(LastErrorCode));
    }
    entries_ = e;
    loaded_ = true;
}

}  // namespace tavrin
