// How well Ringwarden watches the line, and what the user is told about it:
// watching; not watching (no line open, and why); watching a line it may not
// answer (monitor rights only); or watching calls that bring no caller ID.
// Pure logic: the line supervisor feeds it what happened to the lines, the
// screener what happened to each call's caller ID, and the window reads the
// state for the tray. Portable, so it is tested without a window or a line.
#pragma once

namespace rw {

enum class LineWatch {
    Watching,
    NotWatching,
    MonitorOnly, // a line is watched, but calls cannot be answered
    NoCallerId,  // calls keep arriving without caller ID
};

// Why no line is open.
enum class LineTrouble {
    None,
    NoTelephony, // the telephony service did not register the program
    NoLine,      // registered, but there is no line device
    OpenFailed,  // there are devices, but none would open
    Closed,      // the service closed the line (modem gone, settings changed)
    Reinit,      // the service asked for a restart of the registration
};

class CLineHealth {
public:
    // Calls in a row without caller ID before the user is warned.
    static constexpr int kMissingCallerIdCalls = 3;

    // The lines as they stand now: how many are open as owner and how many
    // only as monitor; `whyNone` says why, when neither is.
    void SetLines(unsigned ownerLines, unsigned monitorLines, LineTrouble whyNone);
    // A call's caller ID arrived (withheld and out of area are answers too),
    // or the call ended without any.
    void OnCallerIdOutcome(bool arrived);

    LineWatch State() const;
    LineTrouble Trouble() const { return m_lineCount ? LineTrouble::None : m_trouble; }

    // The tray while no call is in progress: the icon and tip string ids
    // (both 130 when all is well).
    unsigned IdleIcon() const;
    unsigned IdleTip() const;

    // The state the user was last told of. The window tells the user once
    // when a state starts and once when it ends.
    LineWatch Told() const { return m_told; }
    // True when State() differs from what the user was last told; gives the
    // balloon's title and text string ids and whether it is a warning, and
    // counts the new state as told.
    bool TakeAnnouncement(unsigned& titleId, unsigned& textId, bool& warning);

private:
    unsigned m_lineCount = 0;
    bool m_ownerLine = false;
    LineTrouble m_trouble = LineTrouble::NoTelephony;
    int m_missingInRow = 0;
    LineWatch m_told = LineWatch::Watching;
};

} // namespace rw
