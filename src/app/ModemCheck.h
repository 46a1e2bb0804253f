// Reads what each line device can do from the telephony service, for the
// modem check: the device's and its first address's capabilities, and the
// wave devices bound to the line. A line Ringwarden has open is asked
// through its own handle; any other is opened to monitor only for the
// question and closed again, never as owner. Needs the line registration.
#pragma once

#include "app/ModemVerdict.h"

#include <windows.h>

#include <string>
#include <vector>

namespace rw {

class CTapiLine;

class CModemCheck {
public:
    // One description per line device of the registration. `lines` are
    // the program's open lines by device (may be shorter, or empty for the
    // check from the command line): an open one gives the handle to ask
    // and whether it is watched as owner.
    static std::vector<CModemDescription> Describe(const std::vector<const CTapiLine*>& lines);
    static CModemDescription DescribeDevice(DWORD device, const CTapiLine* open);

    // Writes the report on every line device to `path` (UTF-8); false when
    // the file cannot be written.
    static bool WriteReport(const std::string& path);
};

} // namespace rw
