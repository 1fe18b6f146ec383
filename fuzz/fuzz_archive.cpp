// Feeds arbitrary bytes as an archive to the unzip engine's listing and to-memory
// extraction: neither may crash, hang or write anything.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzInput.h"
#include "platform/infozip/infozip_api.h"

namespace {

int Print(char*, ulg length) {
    return static_cast<int>(length);
}
void Message(ulg, ulg, unsigned, unsigned, unsigned, unsigned, unsigned, unsigned, char, char*,
             char*, ulg, char) {}
int Password(char* buffer, int size, const char*, const char*) {
    if (size > 0) buffer[0] = '\0';
    return 1;
}
int Service(const char*, ulg) {
    return 0;
}
int Replace(char*) {
    return IDM_REPLACE_NO;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!fuzz::WriteInput(data, size)) return 0;
    std::string path = fuzz::FilePath();

    USERFUNCTIONS uf{};
    uf.print = Print;
    uf.replace = Replace;
    uf.password = Password;
    uf.SendApplicationMessage = Message;
    uf.ServCallBk = Service;

    DCL list{};
    list.fQuiet = 2;
    list.nvflag = 1;
    list.C_flag = 1;
    list.lpszZipFN = path.data();
    Wiz_SingleEntryUnzip(0, nullptr, 0, nullptr, &list, &uf);

    DCL memory{};
    memory.fQuiet = 2;
    memory.ncflag = 1;
    memory.C_flag = 1;
    memory.lpszZipFN = path.data();
    char pattern[] = "*";
    char* names[] = {pattern};
    Wiz_SingleEntryUnzip(1, names, 0, nullptr, &memory, &uf);
    return 0;
}
