// "Ring test" in the modem check: the user rings their own number from
// another phone, and the check shows what the line reported of that call
// (when it rang, when the caller ID came and what it said) and how
// Ringwarden would have screened it. The screener follows the test call
// without answering, logging or stamping anything; this class keeps what
// it heard and says it in words. Portable: no window.
#pragma once

#include "records/DateTime.h"
#include "records/LoggedCall.h"

#include <functional>
#include <string>

namespace rw {

// What the screener tells of the test call.
class CRingTestListener {
public:
    // The call was offered (its first report, with or before its first ring).
    virtual void OnTestRing(CDateTime at) = 0;
    // Its caller ID came; `call` holds it and the action the rules would
    // have given it.
    virtual void OnTestCallerId(const CLoggedCall& call, CDateTime at) = 0;
    // The call has gone idle (or its line closed).
    virtual void OnTestCallGone() = 0;

protected:
    ~CRingTestListener() = default;
};

class CRingTest : public CRingTestListener {
public:
    enum class State { Off, Waiting, Ringing, CallerIdCame, GoneWithoutCallerId };

    // Waits for the next call from `now` on.
    void Start(CDateTime now);
    State GetState() const { return m_state; }
    // Whether the screener is still to follow calls for it.
    bool Listening() const { return m_state == State::Waiting || m_state == State::Ringing; }
    // Raised whenever Text changes.
    void SetOnChange(std::function<void()> onChange) { m_onChange = std::move(onChange); }
    // The test's lines, for the window and the copied report; empty before
    // it starts.
    std::string Text() const;

    void OnTestRing(CDateTime at) override;
    void OnTestCallerId(const CLoggedCall& call, CDateTime at) override;
    void OnTestCallGone() override;

private:
    void Changed();

    State m_state = State::Off;
    CDateTime m_started;
    CDateTime m_ring;
    CDateTime m_callerIdAt;
    CLoggedCall m_call;
    std::function<void()> m_onChange;
};

} // namespace rw
