// Type names of files ("plain text document", "folder"), looked up by the file name's last
// extension and kept, so a large folder needs one lookup per kind of file.
#pragma once

#include <string>

namespace tavrin {

struct TypeInfo {
    std::string name;     // the type's readable name
    std::string iconKey;  // the type's identity (for example "text/plain"); one icon per key
};

const TypeInfo& FileTypeInfo(const std::string& fileName);
const TypeInfo& FolderTypeInfo();

}  // namespace tavrin
