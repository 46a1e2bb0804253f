#pragma once

#include "res/resource.h"
#include "ui/framework/Dialog.h"

namespace rw {

// "About Ringwarden": the version and an OK button.
class CAboutDialog : public CDialog {
public:
    explicit CAboutDialog(HWND parent) : CDialog(IDD_ABOUTBOX, parent) {}
};

} // namespace rw
