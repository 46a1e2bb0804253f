#include "app/RingTest.h"

#include "records/CallAction.h"
#include "records/StringTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace rw {
namespace {

std::string ClockTime(CDateTime at) {
    CDateTimeParts p{};
    if (!at.GetParts(p))
        return "?";
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", p.hour, p.minute, p.second);
    return text;
}

// String `id` with its %s replaced in order. A value is never searched
// again: a caller's name may hold "%s" itself.
std::string Fill(unsigned id, std::initializer_list<std::string> values) {
    std::string text = LoadResString(id);
    size_t from = 0;
    for (const std::string& value : values) {
        const size_t at = text.find("%s", from);
        if (at == std::string::npos)
            break;
        text.replace(at, 2, value);
        from = at + value.size();
    }
    return text;
}

std::string KindWord(CallerIdType kind) {
    switch (kind) {
    case CallerIdNumber:
        return LoadResString(3256);
    case CallerIdName:
        return LoadResString(3261);
    case CallerIdNameAndNumber:
        return LoadResString(3262);
    case CallerIdWithheld:
        return LoadResString(3257);
    case CallerIdOutOfArea:
        return LoadResString(3258);
    default:
        return LoadResString(3259);
    }
}

} // namespace

void CRingTest::Start(CDateTime now) {
    m_state = State::Waiting;
    m_started = now;
    m_ring = CDateTime();
    m_callerIdAt = CDateTime();
    m_call = CLoggedCall();
    Changed();
}

void CRingTest::OnTestRing(CDateTime at) {
    if (m_state != State::Waiting)
        return;
    m_state = State::Ringing;
    m_ring = at;
    Changed();
}

void CRingTest::OnTestCallerId(const CLoggedCall& call, CDateTime at) {
    if (m_state != State::Ringing)
        return;
    m_state = State::CallerIdCame;
    m_callerIdAt = at;
    m_call.SetName(call.GetName());
    m_call.SetCallerIdName(call.GetCallerIdName());
    m_call.SetNumber(call.GetNumber());
    m_call.SetHasNumber(call.HasNumber());
    m_call.SetCallerIdKind(call.GetCallerIdKind());
    m_call.SetAction(call.GetAction());
    m_call.SetKeyCheckDigit(call.GetKeyCheckDigit());
    Changed();
}

void CRingTest::OnTestCallGone() {
    if (m_state != State::Ringing)
        return;
    m_state = State::GoneWithoutCallerId;
    Changed();
}

void CRingTest::Changed() {
    if (m_onChange)
        m_onChange();
}

std::string CRingTest::Text() const {
    if (m_state == State::Off)
        return std::string();
    std::string text = LoadResString(3250); // the heading
    text += "\r\n";
    if (m_state == State::Waiting)
        return text + Fill(3251, {ClockTime(m_started)});
    text += Fill(3252, {ClockTime(m_ring)}) + "\r\n";
    switch (m_state) {
    case State::Ringing:
        return text + LoadResString(3253);
    case State::GoneWithoutCallerId:
        return text + LoadResString(3254);
    default:
        break;
    }
    const double seconds = std::max(0.0, (m_callerIdAt.GetDays() - m_ring.GetDays()) * 86400.0);
    char after[32];
    std::snprintf(after, sizeof after, "%.1f", std::round(seconds * 10.0) / 10.0);
    text += Fill(3255, {ClockTime(m_callerIdAt), after, m_call.GetNumber(),
                        m_call.GetCallerIdName(), KindWord(m_call.GetCallerIdKind())});
    text += "\r\n";
    text += Fill(3260, {m_call.ActionDisplayText(), m_call.GetName()});
    return text;
}

} // namespace rw
