// Dialog data exchange: moves values between a dialog's controls and its
// fields, in either direction, through one DoDataExchange per dialog.
// Saving validates: the first exchange that fails shows its message, puts
// the focus on its control, and every later exchange of the same pass does
// nothing, so one pass reports one fault.
#pragma once

#include <windows.h>

#include <string>

namespace rw {

class CDataExchange {
public:
    CDataExchange(HWND dialog, bool saveAndValidate) : m_dialog(dialog), m_save(saveAndValidate) {}

    bool SaveAndValidate() const { return m_save; }
    bool Failed() const { return m_failed; }
    HWND Dialog() const { return m_dialog; }

    // Edit or static text <-> text (system code page), no length limit.
    void Text(int id, std::string& value);
    // Edit <-> integer. Saving text that is not an integer fails with
    // "Please enter an integer.".
    void Int(int id, int& value);
    // After Int on the same control: saving a value outside [min, max] fails
    // with "Please enter an integer between %1 and %2.". Loading checks
    // nothing.
    void MinMaxInt(int id, int value, int min, int max);
    // Check box <-> 0 or 1.
    void Check(int id, int& value);
    void Check(int id, bool& value);
    // Radio group starting at `firstId` (the button with WS_GROUP) up to the
    // next WS_GROUP: index of the checked button, -1 for none.
    void Radio(int firstId, int& index);
    // Drop-down list <-> text: loading selects the first item that begins
    // with the text (case-insensitively, as the list does); saving reads the
    // selected item's text, empty for none.
    void ComboText(int id, std::string& value);
    // Drop-down list <-> selected position, -1 for none.
    void ComboIndex(int id, int& index);

    // Marks the pass failed with string `messageId` (optionally with %1 and
    // %2 filled in), selecting control `id`.
    void Fail(int id, UINT messageId, const std::string& first = {},
              const std::string& second = {});

private:
    HWND Control(int id) const { return GetDlgItem(m_dialog, id); }

    HWND m_dialog;
    bool m_save;
    bool m_failed = false;
};

} // namespace rw
