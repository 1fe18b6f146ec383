/* An unzip engine that records what it is given. A listing call (nvflag 1) reports the
   entries "entry0000", "entry0001", ... (how many: SetListedEntries); other calls record
   their option record and include names. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/infozip/infozip_api.h"

#define EXPORT __attribute__((visibility("default")))
#define MAX_CALLS 16
#define MAX_NAMES 4096

static DCL g_dcl[MAX_CALLS];
static char g_archive[MAX_CALLS][4096];
static char g_dir[MAX_CALLS][4096];
static int g_dirNull[MAX_CALLS];
static int g_counts[MAX_CALLS];
static char* g_names[MAX_CALLS][MAX_NAMES];
static int g_calls;
static int g_entries = 3;

EXPORT int Wiz_SingleEntryUnzip(int ifnc, char** ifnv, int xfnc, char** xfnv, LPDCL dcl,
                                LPUSERFUNCTIONS uf) {
    (void)xfnc;
    (void)xfnv;
    if (g_calls < MAX_CALLS) {
        int c = g_calls;
        g_dcl[c] = *dcl;
        strncpy(g_archive[c], dcl->lpszZipFN ? dcl->lpszZipFN : "", 4095);
        g_dirNull[c] = dcl->lpszExtractDir == 0;
        strncpy(g_dir[c], dcl->lpszExtractDir ? dcl->lpszExtractDir : "", 4095);
        g_counts[c] = ifnc;
        for (int i = 0; i < ifnc && i < MAX_NAMES; ++i) g_names[c][i] = strdup(ifnv[i]);
    }
    ++g_calls;
    if (dcl->nvflag && uf->SendApplicationMessage) {
        char name[32], method[] = "Stored";
        for (int i = 0; i < g_entries; ++i) {
            snprintf(name, sizeof name, "entry%04d", i);
            uf->SendApplicationMessage(100 + i, 100 + i, 0, 3, 7, 2, 14, 5, ' ', name, method, 0,
                                       ' ');
        }
    }
    return 0;
}

EXPORT const char* ZpVersionInfo(const char* key) {
    if (key && strcmp(key, "CompanyName") == 0) return "Info-ZIP";
    return 0;
}

/* What the test reads back. */
EXPORT void ResetRecording(void) {
    for (int c = 0; c < g_calls && c < MAX_CALLS; ++c)
        for (int i = 0; i < g_counts[c] && i < MAX_NAMES; ++i) free(g_names[c][i]);
    g_calls = 0;
}
EXPORT void SetListedEntries(int n) {
    g_entries = n;
}
EXPORT int RecordedCalls(void) {
    return g_calls;
}
EXPORT const DCL* RecordedDcl(int c) {
    return &g_dcl[c];
}
EXPORT const char* RecordedArchive(int c) {
    return g_archive[c];
}
EXPORT const char* RecordedDir(int c) {
    return g_dirNull[c] ? 0 : g_dir[c];
}
EXPORT int RecordedCount(int c) {
    return g_counts[c];
}
EXPORT const char* RecordedName(int c, int i) {
    return g_names[c][i];
}
