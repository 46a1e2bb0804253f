#pragma once

#include "res/resource.h"
#include "ui/framework/Dialog.h"

namespace rw {

// "About Ringwarden": the version, read from the program's own VERSIONINFO,
// and an OK button.
class CAboutDialog : public CDialog {
public:
    explicit CAboutDialog(HWND parent) : CDialog(IDD_ABOUTBOX, parent) {}

protected:
    BOOL OnInitDialog() override;
};

} // namespace rw
