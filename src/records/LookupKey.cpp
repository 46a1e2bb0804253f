#include "records/LookupKey.h"

#include "records/CodePage.h"

namespace rw {
namespace {

bool EndsInStar(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return !text.empty() && text.back() == '*';
}

} // namespace

std::string MakeLookupKeyFrom(std::string_view number) {
    std::string key;
    for (char c : number) {
        if (c >= '0' && c <= '9')
            key.push_back(c);
    }
    if (!key.empty()) {
        if (EndsInStar(number))
            key.push_back('*');
        return key;
    }
    key.assign(number);
    UpperCaseInPlace(key);
    return key;
}

bool IsStarPlacedRight(std::string_view number) {
    const size_t star = number.find('*');
    if (star == std::string_view::npos)
        return true;
    if (number.find('*', star + 1) != std::string_view::npos || !EndsInStar(number))
        return false;
    const std::string_view before = number.substr(0, star);
    return before.find_first_of("0123456789") != std::string_view::npos;
}

bool IsPrefixKey(std::string_view key) {
    if (key.size() < 2 || key.back() != '*')
        return false;
    for (size_t i = 0; i + 1 < key.size(); ++i)
        if (key[i] < '0' || key[i] > '9')
            return false;
    return true;
}

} // namespace rw
