// The callback tables through which the engine reports. The program answers every question
// of the engine itself and routes the engine's output by two program-wide flags: text
// printed by the unzip engine goes to the description while CaptureDescription is set, and
// listing lines go to the unzip dialog while CaptureListing is set.
#pragma once

#include <string>

#include "platform/infozip/infozip_api.h"

namespace tavrin {

class Zip32;

// Program-wide capture flags, false at start.
extern bool CaptureDescription;
extern bool CaptureListing;

// Receives what the unzip callbacks capture. The main window provides it; the logic does
// not know which widgets show the text.
class EngineOutput {
  public:
    virtual ~EngineOutput() = default;
    // One piece of extracted text for the description, every byte the engine delivered
    // (also NUL bytes). False when the description cannot take more (the engine then ends
    // the entry).
    virtual bool AppendDescription(const std::string& piece) = 0;
    // One listing line for the unzip dialog, with its entry name for ListedNames.
    virtual void AddListingLine(const std::string& line, const std::string& entryName) = 0;
};

// Sets the receiver of captured output (null: captured output goes nowhere).
void SetEngineOutput(EngineOutput* output);
EngineOutput* CurrentEngineOutput();

// The zip engine's warnings and errors ("zip warning: ...", "zip error: ...", and "zip I/O
// error: ..." with the system's reason) since it was
// last cleared, one message after another; its progress lines are not kept. The packer page
// and the companion tool show them when a job was refused or has something to say.
std::string& ZipEngineMessages();

// Zip callbacks.
int ZipPrint(char* text, ulg length);
char* ZipComment(char* text);
int ZipPassword(char* buffer, int size, const char* prompt, const char* name);
int ZipService(const char* name, ulg size);

// Unzip callbacks.
int UnzipPrint(char* text, ulg length);
int UnzipReplace(char* name);
int UnzipPassword(char* buffer, int size, const char* prompt, const char* name);
void UnzipMessage(ulg ucsize, ulg csize, unsigned cfactor, unsigned month, unsigned day,
                  unsigned year, unsigned hour, unsigned minute, char flag, char* name,
                  char* method, ulg crc, char encrypted);
int UnzipService(const char* name, ulg size);

// The listing line "%7u  %02u-%02u-%02u %02u:%02u  %s".
std::string FormatListingLine(ulg ucsize, unsigned month, unsigned day, unsigned year,
                              unsigned hour, unsigned minute, const char* name);

// Fills a zip table with the four zip callbacks and hands it to the engine's ZpInit.
int InitZipCallbacks(const Zip32& zip);
// Fills the first six entries of an unzip table.
void InitUnzipCallbacks(USERFUNCTIONS& table);

}  // namespace tavrin
