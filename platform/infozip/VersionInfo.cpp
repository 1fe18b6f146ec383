// The version table each engine library answers the start-up check with.
#include <cstring>

#include "infozip_api.h"

extern "C" __attribute__((visibility("default"))) const char* ZpVersionInfo(const char* key) {
    if (!key) return nullptr;
    static const struct {
        const char* key;
        const char* value;
    } kTable[] = {
        {"CompanyName", "Info-ZIP"},
        {"FileVersion", IZ_FILE_VERSION},
        {"FileDescription", IZ_FILE_DESCRIPTION},
        {"ProductName", IZ_PRODUCT_NAME},
        {"OriginalFilename", IZ_LIBRARY_NAME},
    };
    for (const auto& row : kTable)
        if (std::strcmp(row.key, key) == 0) return row.value;
    return nullptr;
}
