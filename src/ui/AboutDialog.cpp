#include "ui/AboutDialog.h"

#include "app/VersionInfo.h"
#include "records/StringTable.h"

#include <cstdio>
#include <vector>

namespace rw {

BOOL CAboutDialog::OnInitDialog() {
    // The template's text stays when the executable carries no version.
    const std::string version = ModuleVersion(nullptr);
    if (!version.empty()) {
        const std::string format = LoadResString(IDS_ABOUT_VERSION);
        std::vector<char> text(format.size() + version.size() + 1);
        std::snprintf(text.data(), text.size(), format.c_str(), version.c_str());
        SetDlgItemTextA(m_hWnd, IDC_ABOUT_VERSION, text.data());
    }
    return TRUE;
}

} // namespace rw
