#include "records/StringTable.h"

#include "res/resource.h"

#include <algorithm>
#include <iterator>

namespace rw {
namespace {

struct StringEntry {
    unsigned id;
    const char* text;
};

constexpr StringEntry kStrings[] = {
#define RW_STRING(id, text) {id, text},
#include "res/strings.def"
#undef RW_STRING
};

constexpr bool SortedById() {
    for (size_t i = 1; i < std::size(kStrings); ++i) {
        if (kStrings[i - 1].id >= kStrings[i].id)
            return false;
    }
    return true;
}
static_assert(SortedById(), "strings.def must list ids in ascending order, once each");

} // namespace

std::string LoadResString(unsigned id) {
    auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                               [](const StringEntry& e, unsigned v) { return e.id < v; });
    if (it == std::end(kStrings) || it->id != id)
        return {};
    return it->text;
}

} // namespace rw
