// The configuration sheet's Defaults page: the default message, which the
// user can choose and try out, and the default "Out of Hours" times.
#pragma once

#include "audio/WavePlayer.h"
#include "audio/WavePlayerNotify.h"
#include "ui/framework/PropertyPage.h"

#include <functional>
#include <string>

namespace rw {

class CConfigDefaultsPage : public CCorePropertyPage, public CWavePlayerNotify {
public:
    // Asks the user for a wave file, owned by `owner`. True and the chosen
    // file's full path in `path` when the user pressed OK; false (and
    // `path` untouched) when cancelled.
    using BrowseHandler = std::function<bool(HWND owner, std::string& path)>;

    CConfigDefaultsPage();

    // Replaces the platform's file-open dialog (tests choose the file
    // themselves); an empty handler puts the platform's back.
    void SetBrowseHandler(BrowseHandler handler);

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    bool OnApply() override;
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;
    void OnSetActive() override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;

private:
    struct CommandHandler {
        WORD id;
        void (CConfigDefaultsPage::*handle)();
    };
    static const CommandHandler kCommands[];

    void OnBrowse();
    void OnTest();
    // The whole days ticked now.
    unsigned CheckedDays() const;
    // The sentence on what the defaults as they stand would have blocked.
    void UpdatePreview();

    HWND m_startPicker = nullptr;
    HWND m_endPicker = nullptr;
    HWND m_browseButton = nullptr;
    HWND m_testButton = nullptr;
    std::string m_messagePath;
    BrowseHandler m_browse;
    // Plays the chosen file once so the user can hear it; a playback still
    // running when the page goes is stopped with the player.
    CWavePlayer m_player{this};
};

} // namespace rw
