// Feeds arbitrary bytes as an MP3 file to TID3v1: Load, then Save and Strip on the same file.
// None may crash or read outside its buffers.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzInput.h"
#include "mp3/ID3v1.h"

namespace {

using fuzz::FilePath;
using fuzz::WriteInput;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!WriteInput(data, size)) return 0;
    tavrin::TID3v1 tag;
    if (!tag.Load(FilePath())) return 0;
    const std::string title = tag.Title();
    tag.SetComment(tag.Comment() + " more");
    if (!tag.Save(FilePath())) __builtin_trap();
    tavrin::TID3v1 again;
    // What was saved reads back.
    if (!again.Load(FilePath()) || !again.Present() || again.Title() != title) __builtin_trap();
    if (!again.Strip(FilePath())) __builtin_trap();
    return 0;
}
