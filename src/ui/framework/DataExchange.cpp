#include "ui/framework/DataExchange.h"

#include "records/StringTable.h"
#include "ui/framework/AppMessageBox.h"

#include "res/resource.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

namespace rw {
namespace {

std::string WindowText(HWND control) {
    const int length = control ? GetWindowTextLengthA(control) : 0;
    if (length <= 0)
        return {};
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    const int copied = GetWindowTextA(control, buffer.data(), length + 1);
    return std::string(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

// Parses a whole integer: optional blanks and sign, digits, optional
// blanks; nothing else, and nothing beyond int's range.
bool ParseInt(const std::string& text, int& value) {
    const char* begin = text.c_str();
    while (*begin == ' ' || *begin == '\t')
        ++begin;
    if (*begin == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(begin, &end, 10);
    if (end == begin || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX)
        return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != '\0')
        return false;
    value = static_cast<int>(parsed);
    return true;
}

std::string ComboItemText(HWND combo, LRESULT index) {
    const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR || length < 0)
        return {};
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    const LRESULT copied =
        SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer.data()));
    return copied == CB_ERR ? std::string()
                            : std::string(buffer.data(), static_cast<size_t>(copied));
}

bool IsRadioButton(HWND control, LONG style) {
    char className[16] = {};
    GetClassNameA(control, className, sizeof className);
    const LONG type = style & BS_TYPEMASK;
    return lstrcmpiA(className, "Button") == 0 &&
           (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON);
}

} // namespace

void CDataExchange::Text(int id, std::string& value) {
    if (m_failed)
        return;
    if (m_save)
        value = WindowText(Control(id));
    else
        SetWindowTextA(Control(id), value.c_str());
}

void CDataExchange::Int(int id, int& value) {
    if (m_failed)
        return;
    if (!m_save) {
        SetWindowTextA(Control(id), std::to_string(value).c_str());
        return;
    }
    int parsed = 0;
    if (!ParseInt(WindowText(Control(id)), parsed)) {
        Fail(id, IDS_PARSE_INT);
        return;
    }
    value = parsed;
}

void CDataExchange::MinMaxInt(int id, int value, int min, int max) {
    if (m_failed || !m_save)
        return;
    if (value < min || value > max)
        Fail(id, IDS_PARSE_INT_RANGE, std::to_string(min), std::to_string(max));
}

void CDataExchange::Check(int id, int& value) {
    if (m_failed)
        return;
    if (m_save)
        value = IsDlgButtonChecked(m_dialog, id) == BST_CHECKED ? 1 : 0;
    else
        CheckDlgButton(m_dialog, id, value ? BST_CHECKED : BST_UNCHECKED);
}

void CDataExchange::Check(int id, bool& value) {
    int checked = value ? 1 : 0;
    Check(id, checked);
    value = checked != 0;
}

void CDataExchange::Radio(int firstId, int& index) {
    if (m_failed)
        return;
    HWND button = Control(firstId);
    if (m_save)
        index = -1;
    // The group runs from its first button to the next control with
    // WS_GROUP (or the end); only radio buttons count towards the index, so
    // labels may sit between them.
    int position = 0;
    for (HWND control = button; control; control = GetWindow(control, GW_HWNDNEXT)) {
        const LONG style = GetWindowLongA(control, GWL_STYLE);
        if (control != button && (style & WS_GROUP))
            break;
        if (!IsRadioButton(control, style))
            continue;
        if (m_save) {
            if (SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED) {
                index = position;
                return;
            }
        } else {
            SendMessageA(control, BM_SETCHECK, position == index ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        ++position;
    }
}

void CDataExchange::ComboText(int id, std::string& value) {
    if (m_failed)
        return;
    HWND combo = Control(id);
    if (m_save) {
        const LRESULT selected = SendMessageA(combo, CB_GETCURSEL, 0, 0);
        value = selected == CB_ERR ? std::string() : ComboItemText(combo, selected);
    } else if (value.empty()) {
        SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    } else {
        const LRESULT found = SendMessageA(combo, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>(value.c_str()));
        SendMessageA(combo, CB_SETCURSEL, found == CB_ERR ? static_cast<WPARAM>(-1) : found, 0);
    }
}

void CDataExchange::ComboIndex(int id, int& index) {
    if (m_failed)
        return;
    HWND combo = Control(id);
    if (m_save) {
        const LRESULT selected = SendMessageA(combo, CB_GETCURSEL, 0, 0);
        index = selected == CB_ERR ? -1 : static_cast<int>(selected);
    } else {
        SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
}

void CDataExchange::Fail(int id, UINT messageId, const std::string& first,
                         const std::string& second) {
    if (m_failed)
        return;
    m_failed = true;
    std::string text = LoadResString(messageId);
    if (const size_t at = text.find("%1"); at != std::string::npos)
        text.replace(at, 2, first);
    if (const size_t at = text.find("%2"); at != std::string::npos)
        text.replace(at, 2, second);
    AppMessageBox(m_dialog, text, MB_OK | MB_ICONEXCLAMATION);
    if (HWND control = Control(id)) {
        SetFocus(control);
        SendMessageA(control, EM_SETSEL, 0, -1);
    }
}

} // namespace rw
