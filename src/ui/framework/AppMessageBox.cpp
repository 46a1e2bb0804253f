#include "ui/framework/AppMessageBox.h"

#include "records/StringTable.h"
#include "res/resource.h"

#include <utility>

namespace rw {
namespace {

AppMessageBoxHandler& Handler() {
    static AppMessageBoxHandler handler;
    return handler;
}

} // namespace

int AppMessageBox(HWND owner, const std::string& text, UINT type) {
    if (const AppMessageBoxHandler& handler = Handler())
        return handler(owner, text, type);
    return MessageBoxA(owner, text.c_str(), LoadResString(IDS_APP_TITLE).c_str(), type);
}

int AppMessageBox(HWND owner, UINT id, UINT type) {
    return AppMessageBox(owner, LoadResString(id), type);
}

AppMessageBoxHandler SetAppMessageBoxHandler(AppMessageBoxHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

std::string FormatResString(unsigned id, const std::string& argument) {
    return FormatResStrings(id, {argument});
}

std::string FormatResString(unsigned id, const std::string& first, const std::string& second) {
    return FormatResStrings(id, {first, second});
}

std::string FormatResStrings(unsigned id, const std::vector<std::string>& arguments) {
    std::string text = LoadResString(id);
    // Each argument goes in after the previous one, so that a "%s" inside
    // an argument is never taken for a place of the text's own.
    size_t from = 0;
    for (const std::string& argument : arguments) {
        const size_t at = text.find("%s", from);
        if (at == std::string::npos)
            break;
        text.replace(at, 2, argument);
        from = at + argument.size();
    }
    return text;
}

} // namespace rw
