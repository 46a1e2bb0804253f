// The configuration sheet's Messages page: which blocked callers may leave
// a message, how long it may be, whether a balloon tells of each, and where
// the messages are kept (or why this run or this modem records none).
#pragma once

#include "ui/framework/PropertyPage.h"

namespace rw {

class CConfigMessagesPage : public CCorePropertyPage {
public:
    CConfigMessagesPage();

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    bool OnApply() override;

private:
    int m_fromTimeBlocked = 0;
    int m_fromUnknownCallers = 0;
    int m_maxSeconds = 0;
    int m_balloon = 0;
};

} // namespace rw
