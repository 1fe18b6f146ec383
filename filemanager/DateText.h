// The program's date and time texts: short date "mm/dd/yyyy", time "hh:nn". The first file
// list constructed sets them for the whole program.
#pragma once

#include <ctime>
#include <string>

namespace tavrin {

struct DateTimeFormats {
    std::string shortDate = "mm/dd/yyyy";
    std::string longTime = "hh:nn";
};

// The process-wide formats.
DateTimeFormats& ProgramDateFormats();
// Sets the formats the file list uses: "mm/dd/yyyy" and "hh:nn".
void SetFileListDateFormats();

// The date, a blank and the time of a local time; only the date at exactly midnight.
std::string FormatDateTime(std::time_t when);
// Reads a text written by FormatDateTime back; false when it is not one.
bool ParseDateTime(const std::string& text, double* value);

// "###,###,##0" with the given thousands separator.
std::string FormatThousands(std::uint64_t value, const std::string& separator);

}  // namespace tavrin
