/* A library that looks like the zip engine but names another maker or version. */
#include <string.h>

__attribute__((visibility("default"))) const char* ZpVersionInfo(const char* key) {
    if (!key) return 0;
#ifdef FAKE_WRONGCOMPANY
    if (strcmp(key, "CompanyName") == 0) return "Info-Zip";
    if (strcmp(key, "FileVersion") == 0) return "2.3";
#else
    if (strcmp(key, "CompanyName") == 0) return "Info-ZIP";
    if (strcmp(key, "FileVersion") == 0) return "2.32";
#endif
    return 0;
}
