// The main window: a dialog that runs modally for the program's whole life,
// lists the calls of this run and is the home of the screening engine.
#pragma once

#include "app/ScreeningRules.h"
#include "records/Clock.h"
#include "records/ConfigFile.h"
#include "records/PhoneBook.h"
#include "records/RingwardenPreferences.h"
#include "telephony/TapiLine.h"
#include "ui/framework/Dialog.h"

#include <memory>
#include <vector>
#include <string>

namespace rw {

class CMainDialog : public CDialog, public CTapiLineNotify, public CTapiCallNotify {
public:
    explicit CMainDialog(const CClock& clock, HWND parent = nullptr);
    // Destroys the window here, while the records still exist, so that the
    // configuration is saved.
    ~CMainDialog() override { DestroyWindow(); }

    CPhoneBook& PhoneBook() { return m_phoneBook; }
    CRingwardenPreferences& Preferences() { return m_preferences; }
    CScreeningRules& Rules() { return m_rules; }
    const std::vector<std::unique_ptr<CTapiLine>>& Lines() const { return m_lines; }

    // Reads Ringwarden.cfg into the preferences and the phone book; a
    // missing or damaged file is not reported (what was read stays).
    void LoadConfiguration();
    // Writes them back; a failure is silent and leaves the old file.
    void SaveConfiguration();
    // The file to use instead of the one beside the executable.
    void SetConfigPath(const std::string& path) { m_configPath = path; }

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnDestroy() override;

    // Line events. Calls are not followed yet: a new call gets no call
    // object, so its line keeps it as unowned and releases it at idle.
    void OnLineDevState(CTapiLine*, DWORD, DWORD_PTR, DWORD_PTR) override {}

private:
    void AddAboutToSystemMenu();
    bool OnSysCommand(WPARAM command);
    void OpenLines();
    void CloseLines();
    bool OnQueryEndSession(INT_PTR& result);
    std::string ConfigPath() const;

    CPhoneBook m_phoneBook;
    CRingwardenPreferences m_preferences;
    CScreeningRules m_rules;
    // One per line device of the telephony registration.
    std::vector<std::unique_ptr<CTapiLine>> m_lines;
    std::unique_ptr<CFileSystem> m_fileSystem;
    CConfigFile m_configFile;
    std::string m_configPath;
};

} // namespace rw
