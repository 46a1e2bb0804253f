#include "records/LocaleTime.h"

namespace rw {
namespace {

std::string Strftime(const char* format, const std::tm& time) {
    char text[128];
    return std::string(text, std::strftime(text, sizeof text, format, &time));
}

} // namespace

std::string LocaleTimeText(const std::tm& time) {
    return Strftime("%H:%M:%S", time);
}

std::string LocaleDateText(const std::tm& time, bool longForm) {
    return Strftime(longForm ? "%A, %B %d, %Y" : "%m/%d/%y", time);
}

} // namespace rw
