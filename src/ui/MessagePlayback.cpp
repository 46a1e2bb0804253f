#include "ui/MessagePlayback.h"

#include "audio/CallPlayer.h"
#include "records/StringTable.h"
#include "records/WidePath.h"
#include "res/resource.h"
#include "ui/framework/AppMessageBox.h"

#include <shellapi.h>

namespace rw {

CMessagePlayback::CMessagePlayback(CMessageStore& store, AskFn ask)
    : m_store(store), m_ask(std::move(ask)) {}

CMessagePlayback::~CMessagePlayback() {
    Shutdown();
}

bool CMessagePlayback::Play(const std::string& name) {
    uint32_t ms = 0;
    switch (m_store.Check(name, ms)) {
    case CMessageStore::Playability::Gone:
        CannotPlay(name, IDS_MESSAGE_GONE);
        return false;
    case CMessageStore::Playability::NotWave:
        CannotPlay(name, IDS_MESSAGE_NOT_WAVE);
        return false;
    case CMessageStore::Playability::Playable:
        break;
    }
    Stop();
    if (!m_player)
        m_player = std::make_unique<CCallPlayer>(this, GetModuleHandleA(nullptr), IDR_ACK_TONE);
    m_id = m_player->PlayMessage(m_device, m_store.PathOf(name));
    if (m_id == 0) {
        CannotPlay(name, IDS_MESSAGE_NO_SPEAKERS);
        return false;
    }
    m_name = name;
    return true;
}

void CMessagePlayback::Stop() {
    if (m_player && m_id != 0)
        m_player->Stop(m_id);
    m_id = 0;
    m_name.clear();
}

bool CMessagePlayback::Delete(const std::string& name, const std::string& caller,
                              const std::string& time) {
    if (m_ask(FormatResStrings(IDS_DELETE_MESSAGE, {caller, time}),
              MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return false;
    // The file cannot go while the sound thread holds it open.
    if (m_name == name)
        Stop();
    if (m_store.Delete(name))
        return true;
    m_ask(FormatResString(IDS_DELETE_MESSAGE_FAILED, DisplayPath(m_store.PathOf(name))),
          MB_OK | MB_ICONEXCLAMATION);
    return false;
}

void CMessagePlayback::OpenFolder(HWND owner) {
    const std::string folder = m_store.Folder();
    const DWORD attributes = GetFileAttributesW(WidePath(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        m_ask(FormatResString(IDS_MESSAGES_FOLDER_MISSING, DisplayPath(folder)),
              MB_OK | MB_ICONINFORMATION);
        return;
    }
    ShellExecuteW(owner, L"open", WidePath(folder).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CMessagePlayback::Shutdown() {
    if (m_player)
        m_player->Shutdown();
    m_player.reset();
    m_id = 0;
    m_name.clear();
}

void CMessagePlayback::OnSoundStarted(uint32_t id, UINT) {
    // Heard once the user has started hearing it, not when asked for.
    if (id == m_id)
        m_store.MarkHeard(m_name);
}

void CMessagePlayback::OnSoundEnded(uint32_t id) {
    if (id == m_id) {
        m_id = 0;
        m_name.clear();
    }
}

void CMessagePlayback::OnSoundFailed(uint32_t id) {
    if (id != m_id)
        return;
    const std::string name = m_name;
    m_id = 0;
    m_name.clear();
    CannotPlay(name, IDS_MESSAGE_NO_SPEAKERS);
}

void CMessagePlayback::CannotPlay(const std::string& name, UINT reasonId) {
    m_ask(FormatResStrings(IDS_MESSAGE_CANNOT_PLAY,
                           {DisplayPath(m_store.PathOf(name)), LoadResString(reasonId)}),
          MB_OK | MB_ICONEXCLAMATION);
}

} // namespace rw
