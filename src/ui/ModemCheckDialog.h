#pragma once

#include "app/RingTest.h"
#include "res/resource.h"
#include "ui/framework/Dialog.h"

#include <string>

namespace rw {

// "Check the modem": the report on what each line device can do, with the
// verdicts and next steps (app/ModemVerdict), and Copy, which puts the
// whole report on the clipboard as text for a forum post or an e-mail.
// "Ring test" follows the next call through `screener` (answering nothing)
// and adds what the line reported of it to the report.
class CCallScreener;
class CClock;

class CModemCheckDialog : public CDialog {
public:
    CModemCheckDialog(HWND parent, std::string report, CCallScreener* screener = nullptr,
                      const CClock* clock = nullptr)
        : CDialog(IDD_MODEM_CHECK, parent), m_report(std::move(report)), m_screener(screener),
          m_clock(clock) {}
    // The report and the ring test's lines, as shown and copied.
    std::string Text() const;
    const CRingTest& GetRingTest() const { return m_ringTest; }

    // Puts `text` on the clipboard as text; false when the clipboard could
    // not be had.
    static bool CopyText(HWND owner, const std::string& text);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;
    void OnDestroy() override;

private:
    void OnRingTest();
    void OnRingTestChanged();

    std::string m_report;
    CCallScreener* m_screener;
    const CClock* m_clock;
    CRingTest m_ringTest;
};

} // namespace rw
