#include "ui/MessageFileButtons.h"

#include "audio/WavePlayer.h"
#include "records/EntryLimits.h"
#include "res/resource.h"
#include "ui/framework/AppMessageBox.h"

#include <commdlg.h>

#include <vector>

namespace rw {
namespace {

// Room for long paths and the terminating NUL; a longer choice fails the
// dialog, which then counts as cancelled.
constexpr DWORD kPathBufferSize = kMaxMessageFilePathLength + 1;

} // namespace

bool BrowseForWaveFile(HWND owner, std::string& path) {
    std::vector<char> file(kPathBufferSize, '\0');
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = "Wave Files (*.wav)\0*.wav\0All Files (*.*)\0*.*\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kPathBufferSize;
    ofn.lpstrDefExt = "wav";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!GetOpenFileNameA(&ofn))
        return false;
    path = file.data();
    return true;
}

bool PlayMessageFile(HWND owner, CWavePlayer& player, const std::string& path) {
    if (path.empty()) {
        AppMessageBox(owner, IDS_NO_FILE_TO_PLAY, MB_OK | MB_ICONEXCLAMATION);
        return true;
    }
    if (!player.LoadFromFile(path.c_str())) {
        AppMessageBox(owner, IDS_LOAD_FAILED, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (!player.Play(WAVE_MAPPER, false)) {
        AppMessageBox(owner, IDS_PLAY_FAILED, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

void DisableTestButton(HWND page, HWND test, HWND browse) {
    if (GetFocus() == test)
        SendMessageA(GetParent(page), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(browse), TRUE);
    EnableWindow(test, FALSE);
}

} // namespace rw
