#include "engine/EngineCallbacks.h"

#include <cstdio>
#include <cstring>

#include "engine/Zip32.h"

namespace tavrin {

bool CaptureDescription = false;
bool CaptureListing = false;

namespace {
EngineOutput* g_output = nullptr;
}

void SetEngineOutput(EngineOutput* output) {
    g_output = output;
}
EngineOutput* CurrentEngineOutput() {
    return g_output;
}

std::string& ZipEngineMessages() {
    static std::string messages;
    return messages;
}

int ZipPrint(char* text, ulg length) {
    if (text) {
        std::string piece(text, length);
        if (piece.rfind("zip warning:", 0) == 0 || piece.rfind("zip error:", 0) == 0 ||
            piece.rfind("zip I/O error:", 0) == 0 || piece.rfind("\tzip warning:", 0) == 0)
            ZipEngineMessages() += piece;
    }
    return static_cast<int>(length);
}
char* ZipComment(char* text) {
    return text;
}
int ZipPassword(char*, int, const char*, const char*) {
    return 1;
}
int ZipService(const char*, ulg) {
    return 0;
}

int UnzipPrint(char* text, ulg length) {
    // The whole piece, NUL bytes and all: a description is kept byte for byte.
    if (CaptureDescription && g_output && text &&
        !g_output->AppendDescription(std::string(text, length)))
        return -1;  // enough: the engine ends the entry
    return static_cast<int>(length);
}

int UnzipReplace(char*) {
    return 1;
}
int UnzipPassword(char*, int, const char*, const char*) {
    return 1;
}
int UnzipService(const char*, ulg) {
    return 0;
}

std::string FormatListingLine(ulg ucsize, unsigned month, unsigned day, unsigned year,
                              unsigned hour, unsigned minute, const char* name) {
    char head[80];
    std::snprintf(head, sizeof head, "%7u  %02u-%02u-%02u %02u:%02u  ", ucsize, month, day, year,
                  hour, minute);
    return std::string(head) + (name ? name : "");
}

void UnzipMessage(ulg ucsize, ulg, unsigned, unsigned month, unsigned day, unsigned year,
                  unsigned hour, unsigned minute, char, char* name, char*, ulg, char) {
    if (!CaptureListing || !g_output) return;
    g_output->AddListingLine(FormatListingLine(ucsize, month, day, year, hour, minute, name),
                             name ? name : "");
}

int InitZipCallbacks(const Zip32& zip) {
    static ZIPUSERFUNCTIONS table;
    table.print = ZipPrint;
    table.comment = ZipComment;
    table.password = ZipPassword;
    table.ServiceApplication = ZipService;
    return zip.ZpInit ? zip.ZpInit(&table) : 0;
}

void InitUnzipCallbacks(USERFUNCTIONS& table) {
    table.print = UnzipPrint;
    table.sound = nullptr;
    table.replace = UnzipReplace;
    table.password = UnzipPassword;
    table.SendApplicationMessage = UnzipMessage;
    table.ServCallBk = UnzipService;
}

}  // namespace tavrin
