// The main window: a dialog that runs modally for the program's whole life,
// lists the calls of this run and is the home of the screening engine.
#pragma once

#include "app/ScreeningRules.h"
#include "records/Clock.h"
#include "records/ConfigFile.h"
#include "records/PhoneBook.h"
#include "records/RingwardenPreferences.h"
#include "ui/framework/Dialog.h"

#include <memory>
#include <string>

namespace rw {

class CMainDialog : public CDialog {
public:
    explicit CMainDialog(const CClock& clock, HWND parent = nullptr);
    // Destroys the window here, while the records still exist, so that the
    // configuration is saved.
    ~CMainDialog() override { DestroyWindow(); }

    CPhoneBook& PhoneBook() { return m_phoneBook; }
    CRingwardenPreferences& Preferences() { return m_preferences; }
    CScreeningRules& Rules() { return m_rules; }

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

private:
    void AddAboutToSystemMenu();
    bool OnSysCommand(WPARAM command);
    bool OnQueryEndSession(INT_PTR& result);
    std::string ConfigPath() const;

    CPhoneBook m_phoneBook;
    CRingwardenPreferences m_preferences;
    CScreeningRules m_rules;
    std::unique_ptr<CFileSystem> m_fileSystem;
    CConfigFile m_configFile;
    std::string m_configPath;
};

} // namespace rw
