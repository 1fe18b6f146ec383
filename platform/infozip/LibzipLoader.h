// libzip, loaded on first use. The engine libraries do not link it, so loading them (which
// the program and the companion tool do at every start) does not pull in libzip and the
// crypto library behind it; only writing an archive, or reading an entry with an unusual
// compression method, loads it.
#pragma once

#include <zip.h>

namespace izcommon {

#define IZ_LIBZIP_FUNCTIONS             \
    X(zip_close)                        \
    X(zip_delete)                       \
    X(zip_dir_add)                      \
    X(zip_discard)                      \
    X(zip_error_code_zip)               \
    X(zip_error_fini)                   \
    X(zip_error_init)                   \
    X(zip_error_set)                    \
    X(zip_error_strerror)               \
    X(zip_error_to_data)                \
    X(zip_fclose)                       \
    X(zip_file_add)                     \
    X(zip_file_extra_field_delete)      \
    X(zip_file_extra_field_set)         \
    X(zip_file_rename)                  \
    X(zip_file_replace)                 \
    X(zip_file_set_external_attributes) \
    X(zip_file_set_mtime)               \
    X(zip_fopen_index_encrypted)        \
    X(zip_fread)                        \
    X(zip_get_archive_comment)          \
    X(zip_get_error)                    \
    X(zip_get_name)                     \
    X(zip_get_num_entries)              \
    X(zip_open)                         \
    X(zip_open_from_source)             \
    X(zip_set_archive_comment)          \
    X(zip_set_file_compression)         \
    X(zip_source_file)                  \
    X(zip_source_free)                  \
    X(zip_source_function)              \
    X(zip_source_function_create)       \
    X(zip_source_seek_compute_offset)   \
    X(zip_stat_index)                   \
    X(zip_stat_init)                    \
    X(zip_strerror)

struct LibzipApi {
#define X(name) decltype(&::name) name = nullptr;
    IZ_LIBZIP_FUNCTIONS
#undef X
};

// The resolved functions, or null when libzip cannot be loaded.
const LibzipApi* Libzip();

}  // namespace izcommon
