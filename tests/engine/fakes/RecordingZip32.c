/* A zip engine that records what it is given, for tests that check the records the program
   sends. ZpArchive stores nothing; it remembers the archive name and the names passed. */
#include <stdlib.h>
#include <string.h>

#include "platform/infozip/infozip_api.h"

#define EXPORT __attribute__((visibility("default")))

static ZPOPT g_options;
static int g_setCalls;
static int g_initCalls;
static char g_archive[4096];
static char g_names[16][4096];
static int g_count;
static int g_archiveCalls;
static int g_result;

EXPORT int ZpInit(LPZIPUSERFUNCTIONS f) {
    ++g_initCalls;
    return f != 0;
}
EXPORT BOOL ZpSetOptions(LPZPOPT o) {
    ++g_setCalls;
    if (!o) return FALSE;
    g_options = *o;
    return TRUE;
}
EXPORT ZPOPT ZpGetOptions(void) {
    return g_options;
}
EXPORT int ZpArchive(ZCL c) {
    ++g_archiveCalls;
    strncpy(g_archive, c.lpszZipFN ? c.lpszZipFN : "", sizeof g_archive - 1);
    g_count = c.argc;
    for (int i = 0; i < c.argc && i < 16; ++i)
        strncpy(g_names[i], c.FNV[i] ? c.FNV[i] : "", sizeof g_names[i] - 1);
    return g_result;
}
EXPORT const char* ZpVersionInfo(const char* key) {
    if (!key) return 0;
    if (strcmp(key, "CompanyName") == 0) return "Info-ZIP";
    if (strcmp(key, "FileVersion") == 0) return "2.3";
    return 0;
}

/* What the test reads back. */
EXPORT const ZPOPT* RecordedOptions(void) {
    return &g_options;
}
EXPORT int RecordedSetCalls(void) {
    return g_setCalls;
}
EXPORT int RecordedInitCalls(void) {
    return g_initCalls;
}
EXPORT int RecordedArchiveCalls(void) {
    return g_archiveCalls;
}
EXPORT const char* RecordedArchive(void) {
    return g_archive;
}
EXPORT int RecordedNameCount(void) {
    return g_count;
}
EXPORT const char* RecordedName(int i) {
    return i >= 0 && i < 16 ? g_names[i] : "";
}
EXPORT void SetArchiveResult(int result) {
    g_result = result;
}
