// Feeds arbitrary bytes as an MP3 file to TMPEGaudio.Analyse and reads every result. Nothing
// may crash, read outside its buffers or hang.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzInput.h"
#include "mp3/MPEGaudio.h"

namespace {

using fuzz::FilePath;
using fuzz::WriteInput;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!WriteInput(data, size)) return 0;
    tavrin::TMPEGaudio audio;
    audio.Analyse(FilePath());
    const tavrin::MPEGHeaderTexts texts = tavrin::HeaderTexts(audio, '.');
    const tavrin::FrameInfo& frame = audio.FrameInfo();
    if (frame.Present &&
        (frame.Length < 4 || frame.Length > 1729 || frame.Offset < 0 || frame.Offset > 1729))
        __builtin_trap();
    if (audio.EncoderId() > 6 || std::isnan(audio.Duration())) __builtin_trap();
    if (!audio.IsValid() && !frame.Present && audio.FileSize() != 0) __builtin_trap();
    (void)texts;
    return 0;
}
