#pragma once

#include "res/resource.h"
#include "ui/framework/Dialog.h"

#include <string>

namespace rw {

// "Check the modem": the report on what each line device can do, with the
// verdicts and next steps (app/ModemVerdict), and Copy, which puts the
// whole report on the clipboard as text for a forum post or an e-mail.
class CModemCheckDialog : public CDialog {
public:
    CModemCheckDialog(HWND parent, std::string report)
        : CDialog(IDD_MODEM_CHECK, parent), m_report(std::move(report)) {}

    // Puts `text` on the clipboard as text; false when the clipboard could
    // not be had.
    static bool CopyText(HWND owner, const std::string& text);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;

private:
    std::string m_report;
};

} // namespace rw
