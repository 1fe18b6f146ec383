// Both engine libraries, checked and loaded: what the program and the companion tool hold
// for the run.
#pragma once

#include "engine/EngineCheck.h"
#include "engine/UnZip32.h"
#include "engine/Zip32.h"

namespace tavrin {

struct Engine {
    Zip32 zip;
    UnZip32 unzip;
};

// Runs ZipDllCheck, then loads the zip library it found and the unzip library. Throws
// EngineCheckError with the message to show when either cannot be used.
void LoadCheckedEngine(Engine& engine);

}  // namespace tavrin
