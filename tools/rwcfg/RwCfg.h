// rwcfg: inspect, export and bulk-edit a Ringwarden.cfg from outside the
// program. The functions behind the commands, for the tool and its tests.
#pragma once

#include "records/FileSystem.h"
#include "records/PhoneBook.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace rw::rwcfg {

// The whole file as one JSON object: preferences, the entry count, the
// pairs in file order and where reading stopped, if it did. `complete` is
// false when reading stopped early.
std::string DumpJson(CByteSource& source, bool& complete);

// The phone book as CSV in UTF-8: a header row of field names, then one
// row per entry in key order, lines ending CR LF.
std::string ExportCsv(const CPhoneBook& book);

struct CsvImport {
    std::vector<std::unique_ptr<CPhoneBookEntry>> entries; // keyed, InPhoneBook 1
    std::vector<std::string> errors;                       // "line N: why"
};
// Reads entries from UTF-8 CSV with a header row of field names. Every bad
// row is reported; the entries are only for use when there is none.
CsvImport ParseCsv(std::string_view csv);

// True when the command line names the configuration file itself, so the
// program's own file need not be looked for.
bool NamesItsFile(const std::vector<std::string>& args);

// Runs the command line (without the program name); returns the exit code.
// A non-empty `defaultPath` is the file used when FILE is left out (the one
// the program beside rwcfg uses); "where" prints it.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, CFileSystem& fs,
        const std::string& defaultPath = std::string());

} // namespace rw::rwcfg
