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
    std::string text = LoadResString(id);
    const size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, argument);
    return text;
}

std::string FormatResString(unsigned id, const std::string& first, const std::string& second) {
    std::string text = LoadResString(id);
    const size_t at = text.find("%s");
    if (at == std::string::npos)
        return text;
    text.replace(at, 2, first);
    const size_t next = text.find("%s", at + first.size());
    if (next != std::string::npos)
        text.replace(next, 2, second);
    return text;
}

} // namespace rw
