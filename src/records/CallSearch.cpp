#include "records/CallSearch.h"

#include "records/CodePage.h"
#include "records/LoggedCall.h"

#include <algorithm>

namespace rw {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A number's text: digits and the marks numbers are written with.
bool LooksLikeNumber(std::string_view text) {
    bool digit = false;
    for (char c : text) {
        if (IsDigit(c))
            digit = true;
        else if (!IsBlank(c) && c != '+' && c != '-' && c != '(' && c != ')' && c != '.' &&
                 c != '/' && c != '*')
            return false;
    }
    return digit;
}

std::string DigitsOf(std::string_view text) {
    std::string digits;
    for (char c : text)
        if (IsDigit(c))
            digits += c;
    return digits;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// An international number: after a '+', or after "00" (the international
// prefix dialled from most countries), the digits that follow.
bool International(std::string_view text, std::string& digits) {
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+') {
        digits = DigitsOf(text.substr(1));
        return true;
    }
    const std::string all = DigitsOf(text);
    if (all.size() > 2 && all[0] == '0' && all[1] == '0' && text.rfind("00", 0) == 0) {
        digits = all.substr(2);
        return true;
    }
    return false;
}

} // namespace

size_t CCallSearch::CountryCodeLength(std::string_view d) {
    if (d.empty())
        return 0;
    const char a = d[0];
    const char b = d.size() > 1 ? d[1] : '\0';
    switch (a) {
    case '1':
    case '7':
        return 1;
    case '2':
        return b == '0' || b == '7' ? 2 : 3;
    case '3':
        return b == '0' || b == '1' || b == '2' || b == '3' || b == '4' || b == '6' || b == '9' ? 2
                                                                                                : 3;
    case '4':
        return b == '2' ? 3 : 2;
    case '5':
        return b >= '1' && b <= '8' ? 2 : 3;
    case '6':
        return b >= '0' && b <= '6' ? 2 : 3;
    case '8':
        return b == '1' || b == '2' || b == '4' || b == '6' ? 2 : 3;
    case '9':
        return (b >= '0' && b <= '5') || b == '8' ? 2 : 3;
    default:
        return 3;
    }
}

std::string CCallSearch::NationalDigits(std::string_view number) {
    std::string digits;
    if (International(number, digits)) {
        const size_t code = CountryCodeLength(digits);
        digits.erase(0, std::min(code, digits.size()));
    } else {
        digits = DigitsOf(number);
    }
    // The trunk prefix ("0" in most of Europe), written or in brackets.
    const size_t first = digits.find_first_not_of('0');
    digits.erase(0, first == std::string::npos ? digits.size() : first);
    return digits;
}

CCallSearch::CCallSearch(std::string_view text) {
    text = Trimmed(text);
    m_text = std::string(text);
    UpperCaseInPlace(m_text);
    if (!LooksLikeNumber(text))
        return;
    m_digits = NationalDigits(text);
    // Too little typed to say which number it is ("0", "+44", "00"): the
    // digits themselves are looked for.
    if (m_digits.empty())
        m_rawDigits = DigitsOf(text);
}

bool CCallSearch::Matches(const std::string& name, const std::string& number) const {
    if (Empty())
        return true;
    if (!m_digits.empty() || !m_rawDigits.empty()) {
        if (!m_digits.empty() && NationalDigits(number).find(m_digits) != std::string::npos)
            return true;
        if (!m_rawDigits.empty() && DigitsOf(number).find(m_rawDigits) != std::string::npos)
            return true;
    }
    std::string upper = name;
    UpperCaseInPlace(upper);
    if (upper.find(m_text) != std::string::npos)
        return true;
    upper = number; // a call type ("<Blocked>") is found by its text
    UpperCaseInPlace(upper);
    return upper.find(m_text) != std::string::npos;
}

bool CCallSearch::Matches(const CLoggedCall& call) const {
    if (Empty())
        return true;
    if (Matches(call.GetName(), call.GetNumber()))
        return true;
    // A caller without an entry is listed as "<No Phone Book Entry>": the
    // name the caller ID sent finds it too.
    const std::string sent = call.GetCallerIdName();
    return !sent.empty() && Matches(sent, std::string());
}

} // namespace rw
