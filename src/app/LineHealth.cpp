#include "app/LineHealth.h"

#include "res/resource.h"

namespace rw {

void CLineHealth::SetLines(unsigned ownerLines, unsigned monitorLines, LineTrouble whyNone) {
    m_lineCount = ownerLines + monitorLines;
    m_ownerLine = ownerLines > 0;
    m_trouble = whyNone;
}

void CLineHealth::OnCallerIdOutcome(bool arrived) {
    if (arrived)
        m_missingInRow = 0;
    else if (m_missingInRow < kMissingCallerIdCalls)
        ++m_missingInRow;
}

LineWatch CLineHealth::State() const {
    if (m_lineCount == 0)
        return LineWatch::NotWatching;
    if (!m_ownerLine)
        return LineWatch::MonitorOnly;
    if (m_missingInRow >= kMissingCallerIdCalls)
        return LineWatch::NoCallerId;
    return LineWatch::Watching;
}

unsigned CLineHealth::IdleIcon() const {
    switch (State()) {
    case LineWatch::NotWatching:
        return IDI_TRAY_NOT_WATCHING;
    case LineWatch::MonitorOnly:
    case LineWatch::NoCallerId:
        return IDI_TRAY_WARNING;
    case LineWatch::Watching:
        break;
    }
    return IDI_TRAY_IDLE;
}

unsigned CLineHealth::IdleTip() const {
    switch (State()) {
    case LineWatch::NotWatching:
        switch (Trouble()) {
        case LineTrouble::NoTelephony:
            return IDS_NOT_WATCHING_NO_TAPI;
        case LineTrouble::NoLine:
            return IDS_NOT_WATCHING_NO_LINE;
        case LineTrouble::Closed:
            return IDS_NOT_WATCHING_CLOSED;
        case LineTrouble::Reinit:
            return IDS_NOT_WATCHING_REINIT;
        case LineTrouble::OpenFailed:
        case LineTrouble::None:
            break;
        }
        return IDS_NOT_WATCHING_OPEN_FAILED;
    case LineWatch::MonitorOnly:
        return IDS_WARN_MONITOR_ONLY;
    case LineWatch::NoCallerId:
        return IDS_WARN_NO_CALLER_ID;
    case LineWatch::Watching:
        break;
    }
    return IDS_TRAY_IDLE;
}

bool CLineHealth::TakeAnnouncement(unsigned& titleId, unsigned& textId, bool& warning) {
    const LineWatch now = State();
    if (now == m_told)
        return false;
    m_told = now;
    warning = now != LineWatch::Watching;
    switch (now) {
    case LineWatch::NotWatching:
        titleId = IdleTip();
        textId = IDS_BALLOON_RETRYING;
        break;
    case LineWatch::MonitorOnly:
        titleId = IDS_WARN_MONITOR_ONLY;
        textId = IDS_BALLOON_MONITOR_ONLY;
        break;
    case LineWatch::NoCallerId:
        titleId = IDS_WARN_NO_CALLER_ID;
        textId = IDS_BALLOON_NO_CALLER_ID;
        break;
    case LineWatch::Watching:
        titleId = IDS_WATCHING_AGAIN;
        textId = IDS_BALLOON_WATCHING;
        break;
    }
    return true;
}

} // namespace rw
