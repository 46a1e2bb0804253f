// What the main window's search box finds: calls whose name holds the text
// typed (case aside), or, for text that is a number, whose number holds it
// in any writing. Numbers compare by the lookup key's rule (their digits
// only), national and international forms alike: "01632 960555",
// "+44 1632 960555", "0044 1632 960555" and "1632960555" find the same
// calls, as does any part of one ("960 555") while it is being typed.
#pragma once

#include <string>
#include <string_view>

namespace rw {

class CLoggedCall;

class CCallSearch {
public:
    CCallSearch() = default;
    explicit CCallSearch(std::string_view text);

    // Nothing typed (blanks only): every call matches.
    bool Empty() const { return m_text.empty(); }
    bool Matches(const CLoggedCall& call) const;
    // The same for a name and a number's text, as a row shows them.
    bool Matches(const std::string& name, const std::string& number) const;

    // The digits of a number that identify it within its country: its
    // lookup key's digits without the international prefix ('+' or "00")
    // and country code, and without the leading zeros of a trunk prefix
    // ("+44 (0)1632 960555" and "01632 960555" give "1632960555"). Empty
    // when the text has no digits.
    static std::string NationalDigits(std::string_view number);
    // How many of `digits` (an international number after its '+') are its
    // country code: 1, 2 or 3, as the international numbering plan assigns
    // them (codes are prefix-free, so the first digits decide).
    static size_t CountryCodeLength(std::string_view digits);

private:
    std::string m_text;   // what was typed, upper-cased, blanks trimmed
    std::string m_digits; // a number's national digits; empty: the text is no number
    // A number typed so far as its international prefix and country code
    // only: its digits are looked for as they are.
    std::string m_rawDigits;
};

} // namespace rw
