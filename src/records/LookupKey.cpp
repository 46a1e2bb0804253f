#include "records/LookupKey.h"

#include "records/CodePage.h"

namespace rw {

std::string MakeLookupKeyFrom(std::string_view number) {
    std::string key;
    for (char c : number) {
        if (c >= '0' && c <= '9')
            key.push_back(c);
    }
    if (!key.empty())
        return key;
    key.assign(number);
    UpperCaseInPlace(key);
    return key;
}

} // namespace rw
