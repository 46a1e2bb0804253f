// The entry sheet's "Filter Details" page: the filter type, the time window
// of a Block Sometimes entry, the answer mode and the entry's own message,
// which Test plays on the computer's own sound device.
#pragma once

#include "audio/WavePlayer.h"
#include "audio/WavePlayerNotify.h"
#include "records/DateTime.h"
#include "ui/framework/PropertyPage.h"

#include <functional>
#include <string>

namespace rw {

class CPhoneBookPropertySheet;

class CPhoneBookFilterPage : public CCorePropertyPage, private CWavePlayerNotify {
public:
    CPhoneBookFilterPage();

    // Asks the user for a wave file; true with `path` set when one was
    // chosen.
    using OpenFileDialog = std::function<bool(HWND owner, std::string& path)>;
    // Replaces the system's file-open dialog for the whole process (tests);
    // an empty function puts the system's back. Returns the previous one.
    static OpenFileDialog SetOpenFileDialog(OpenFileDialog dialog);

    const CWavePlayer& Player() const { return m_player; }

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    bool OnApply() override;
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;
    void OnDestroy() override;
    void OnSetActive() override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;

private:
    struct CommandHandler {
        WORD id;
        WORD notifyCode;
        void (CPhoneBookFilterPage::*handle)();
    };
    static const CommandHandler kCommands[];

    CPhoneBookPropertySheet& Sheet() const;
    void ExchangeTime(CDataExchange& dx, int id, CDateTime& time);
    void UpdateEnabling();
    void Enable(int id, bool enable);
    // The sentence on what the entry as it stands would have blocked.
    void UpdatePreview();

    // Commands
    void OnBrowse();
    void OnTest();

    int m_filterType = -1;
    int m_timeChoice = 0;
    int m_answerMode = 0;
    std::string m_messageFile;
    CDateTime m_start;
    CDateTime m_end;
    // Plays Test's file on the computer's default device; its events need
    // no answer, so the page ignores its notifications.
    CWavePlayer m_player{this};
};

} // namespace rw
