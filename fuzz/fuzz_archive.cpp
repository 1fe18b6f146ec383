// Feeds arbitrary bytes as an archive to the unzip engine's listing, to-memory extraction
// and test: none may crash, hang or write anything. The seeds include an overlap bomb and a
// zero bomb.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzInput.h"
#include "platform/infozip/infozip_api.h"

namespace {

// As the description lookup does: past 16 MiB of one input the engine is told "enough", so a
// zero bomb costs no more than that.
std::size_t g_delivered = 0;
int Print(char*, ulg length) {
    g_delivered += length;
    return g_delivered > (std::size_t(16) << 20) ? -1 : static_cast<int>(length);
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
    g_delivered = 0;
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

    DCL test{};
    test.fQuiet = 2;
    test.ntflag = 1;
    test.lpszZipFN = path.data();
    Wiz_SingleEntryUnzip(0, nullptr, 0, nullptr, &test, &uf);
    return 0;
}
