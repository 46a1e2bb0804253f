// The screening engine: follows every call the line reports from its first
// state to idle, logs it, screens it, and for a blocked call answers it,
// has its message played on the call's own wave device (by CCallPlayer,
// which never makes it wait on a file or a device), listens for the
// security code and drops the call when the caller hangs up (or when the
// line has been held long enough, since many modems never report a
// hang-up). A call counts as the program's own only once its answer has
// been accepted and its LINE_REPLY reported success; a call connected any
// other way is never played to, listened to or dropped. A call offered
// while another call on its line is connected, on hold, being answered or
// being dropped is never answered (call waiting would put the first on
// hold, or play into a conversation): its row says the line was busy, and
// it is screened as usual if it still rings once the other has ended. It
// reaches its
// window only through CCallScreenerNotify, so it runs and is tested
// without one. User-interface thread only.
#pragma once

#include "app/CallScreenerNotify.h"
#include "app/ScreeningRules.h"
#include "app/MessageTaker.h"
#include "audio/CallPlayer.h"
#include "audio/CallRecorder.h"
#include "audio/HiddenWindow.h"
#include "records/LoggedCall.h"
#include "telephony/TapiCall.h"
#include "telephony/TapiNotify.h"

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace rw {

class CRingwardenPreferences;
class CTapiCallInfo;

class CCallScreener : public CTapiLineNotify,
                      public CTapiCallNotify,
                      public CCallPlayerNotify,
                      public CCallRecorderNotify {
public:
    // The preferences and the rules (with the phone book they read) belong
    // to the caller and must outlive the screener. `resources` holds wave
    // resource 147 (the acknowledgement), which is read once, now.
    CCallScreener(CRingwardenPreferences& preferences, CScreeningRules& rules,
                  CCallScreenerNotify* notify = nullptr, HMODULE resources = nullptr);
    // Releases every call object still alive (dropping calls still up).
    virtual ~CCallScreener();
    CCallScreener(const CCallScreener&) = delete;
    CCallScreener& operator=(const CCallScreener&) = delete;

    // The calls of this run, in order of arrival.
    size_t CallCount() const { return m_log.size(); }
    const CLoggedCall& Call(size_t index) const { return *m_log[index]; }
    CLoggedCall& Call(size_t index) { return *m_log[index]; }

    // The index of the logged call that holds `call`, or -1.
    int FindLoggedCall(const CTapiCall* call) const;
    // Call objects alive now (calls not yet idle).
    size_t LiveCallCount() const { return m_live.size(); }
    // Live calls still in progress: neither disconnected nor being let go
    // by the program. The rest only wait for a drop to go through, which a
    // restart or a save need not wait for.
    size_t CallsUpCount() const;
    // The message the call at `index` left is still being written.
    bool RecordingPending(size_t index) const;

    UINT TrayTip() const { return m_trayTip; }
    // Remembers the id and tells the window.
    void SetTrayTip(UINT id);

    // Whether the live call at log `index` has keyed the code's first key
    // (false for a call no longer live).
    bool FirstKeyReceived(size_t index) const;
    // Whether a message or the acknowledgement is playing to a call now
    // (its first buffer went to the device and it has not ended).
    bool IsPlaying() const;
    // Stops every sound and what plays them, and every recording (the
    // messages cut short are still told); nothing plays or records
    // afterwards. The window calls it when it quits, before it closes the
    // lines.
    void ShutDownSound();

    // Who keeps the messages (null: no call leaves one). A blocked call
    // that may leave one hears its message as a greeting, then a beep, and
    // is recorded until the caller hangs up, keys, falls silent, the line
    // carries the exchange's tone or the longest message is reached; then
    // it is dropped. Its hold limit then counts the longest message too.
    void SetMessageTaker(CMessageTaker* taker) { m_messages = taker; }
    // Whether a message is being recorded from a call now.
    bool IsRecording() const;

    // Lets go of every call object, dropping calls still up. The window
    // calls it before it closes the lines the calls belong to. Calls still
    // waiting for caller ID are told as never having had one.
    void ReleaseCalls();
    // Lets go of the call objects that belong to `line`, after the service
    // closed it (their handles are dead), as ReleaseCalls does; the rows
    // stay in the log, and with no call left the tray goes back to idle.
    void ReleaseCalls(const CTapiLine* line);

    // A blocked call still up this long after its last sound ended (or
    // after connecting, when nothing plays or the sound never starts) is
    // dropped by the program.
    static constexpr UINT kDefaultHoldLimitMs = 60000;
    void SetHoldLimit(UINT ms) { m_holdLimitMs = ms; }
    // A drop that fails is tried again until the call goes idle: first
    // this far apart, then twice as far each time, up to kMaxDropRetryMs.
    // After kDropRetries more failures of the program's own call the
    // window is told, once.
    static constexpr unsigned kDropRetries = 3;
    static constexpr UINT kDefaultDropRetryMs = 2000;
    static constexpr UINT kMaxDropRetryMs = 60000;
    void SetDropRetryInterval(UINT ms) { m_dropRetryMs = ms; }
    // The key check: how long a caller has after the prompt ends. (A
    // recording of the user's own for its sentence, played before the
    // digit, is the rules' KeyCheckPrompt.)
    static constexpr UINT kDefaultKeyWaitMs = 8000;
    void SetKeyWait(UINT ms) { m_keyWaitMs = ms; }

    // The name and number-or-call-type texts of a call's caller ID. A number
    // (a number text with a digit) comes first; without one, a name stands
    // in for it, or a call type for both. True when `number` is the number.
    static bool ReadCallerId(const CTapiCallInfo& info, std::string& name, std::string& number);
    static bool ReadCallerId(DWORD flags, const std::string& nameText,
                             const std::string& numberText, std::string& name, std::string& number);
    // What kind of caller ID the line gave.
    static CallerIdType CallerIdKindOf(DWORD flags, const std::string& nameText,
                                       const std::string& numberText);

    // CTapiLineNotify
    void OnLineNewCall(CTapiLine* line, HCALL call, DWORD addressId, DWORD privilege) override;
    // CTapiCallNotify
    void OnCallInfo(CTapiCall* call, DWORD infoState) override;
    void OnCallState(CTapiCall* call, DWORD state, DWORD detail, DWORD privilege) override;
    void OnCallMonitorDigits(CTapiCall* call, DWORD digit, DWORD mode) override;
    void OnCallReply(CTapiCall* call, LONG requestId, LONG result, DWORD kind) override;
    // CCallPlayerNotify
    void OnSoundStarted(uint32_t id, UINT lengthMs) override;
    void OnSoundEnded(uint32_t id) override;
    void OnSoundFailed(uint32_t id) override;
    // CCallRecorderNotify
    void OnRecordingEnded(uint32_t id, const RecordingResult& result) override;
    void OnRecordingFailed(uint32_t id, RecordingFailure why, uint32_t error) override;

    // The procedure of the screener's message-only timer window.
    static LRESULT CALLBACK TimerWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    // How far the program has taken a call of its own.
    enum class Hold {
        None,      // not the program's: permitted, waiting, not answered by it
        Answering, // lineAnswer accepted, its LINE_REPLY still to come
        Answered,  // the reply reported success; waiting for CONNECTED
        Holding,   // connected: message, code and hold limit running
        LetGo,     // the program is dropping it (or has)
        Clearing,  // not the program's, but disconnected: dropped only to
                   // clear it from the line so that it reaches idle
    };
    static constexpr UINT_PTR kKeyTimerBase = UINT_PTR(1) << 30;
    // Where a call's key check stands.
    enum class KeyCheck {
        None,     // no check (or it is over)
        Sentence, // the user's own recording of the sentence plays
        Prompt,   // the digit (or the built-in sentence with it) plays
        Waiting,  // the prompt has ended: the caller has a few seconds
        Thanks,   // passed: the thanks play, then the call is dropped
    };
    struct LiveCall {
        std::unique_ptr<CTapiCall> call;
        size_t index;
        Hold hold = Hold::None;
        bool connectedNow = false; // CONNECTED reported and not yet disconnected
        bool disconnected = false; // DISCONNECTED reported: the far end has gone
        bool onHold = false;       // in one of the on-hold states
        // The blocking action held back while the line was busy (0: none).
        int32_t busyAction = 0;
        bool everConnected = false; // CONNECTED was reported at some time
        bool firstKeyReceived = false;
        bool outcomeReported = false; // OnCallerIdOutcome raised for it
        bool answered = false;        // the program's answer succeeded
        LONG answerRequest = 0;       // the pending lineAnswer's request id
        LONG dropRequest = 0;         // the pending lineDrop's request id
        uint32_t sound = 0;           // the player's id of its sound, 0: none
        bool soundStarted = false;    // ...which has begun to play
        unsigned dropFailures = 0;    // drops of it that failed so far
        UINT nextDropRetryMs = 0;     // how long until the next try
        KeyCheck keyCheck = KeyCheck::None;
        int keyTries = 0; // prompts played so far
        // Taking a message: the greeting, the beep, then the recording.
        enum class Message { None, Greeting, Beep, Recording } message = Message::None;
        uint32_t recording = 0; // the recorder's id, 0: none
    };

    LiveCall* FindLive(const CTapiCall* call);
    LiveCall* FindLiveIndex(size_t index);
    LiveCall* FindLiveSound(uint32_t id);
    // Whether another call on `line` than `self` is up in a way that
    // answering a new call would disturb.
    bool LineBusy(const CTapiLine* line, const CTapiCall* self) const;
    // A blocking action found for a call while its line is busy is held
    // back: the row says why, and nothing is done to the call.
    void HoldBackIfBusy(CLoggedCall& logged, LiveCall& live, const CTapiLine* line);
    // Screens the calls held back whose line is free now, if still ringing.
    void ScreenHeldBack();
    void StartBlock(LiveCall& live);
    // The answer was refused or failed: the call is left alone.
    void AnswerFailed(LiveCall& live);
    void StartHolding(LiveCall& live);
    // The block's greeting (and a message taken after it), with the keys
    // heard for the code or to end the message.
    void StartBlockSound(LiveCall& live);
    void OnConnected(LiveCall& live);
    void OnDisconnected(LiveCall& live);
    void OnIdle(CTapiCall* call);
    // Stops what the program does on its call and drops it, trying again
    // if the drop fails.
    void LetGo(LiveCall& live);
    void TryDrop(LiveCall& live);
    void DropFailed(LiveCall& live, LONG result);
    bool Dropping(const LiveCall& live) const {
        return live.hold == Hold::LetGo || live.hold == Hold::Clearing;
    }
    // Lets go of the live calls of `line` (all for null); `notify` is false
    // only from the destructor, when the window may be half gone.
    void Release(const CTapiLine* line, bool notify);
    // Asks for a sound on the call's own "wave/out" device, instead of the
    // one it had; false when nothing will play.
    bool PlayOnCall(LiveCall& live, bool acknowledgement);
    void StopSound(LiveCall& live);
    bool TakesMessage(const CLoggedCall& call) const;
    // Whether the call's keys may suspend the blocks.
    bool CodeAllowed(const LiveCall& live) const;
    // The greeting has ended (or could not play): the beep.
    void AfterGreeting(LiveCall& live);
    // The beep has ended (or could not play): the recording.
    void StartRecording(LiveCall& live);
    void StopRecording(LiveCall& live);
    // The log entry the recording was for, taken off the list; -1: none.
    long TakeRecording(uint32_t id);
    // Drops the call `extraMs` plus the hold limit from now, unless
    // something re-arms or cancels the timer first.
    void ArmHoldTimer(const LiveCall& live, UINT extraMs = 0);
    void CancelTimers(const LiveCall& live);
    void OnTimer(UINT_PTR id);
    // The key check: asks (again), passes, fails; the prompt's next step.
    void StartKeyCheck(LiveCall& live);
    void PlayKeyPrompt(LiveCall& live);
    void KeyCheckPassed(LiveCall& live);
    void KeyCheckFailed(LiveCall& live);
    void OnKeyPromptEnded(LiveCall& live);
    // A key during the check; true when the check took it.
    bool OnKeyCheckDigit(LiveCall& live, char key);
    void ArmKeyTimer(const LiveCall& live);
    // Plays wave resource `id` to the call; false when nothing will play.
    bool PlayResourceOnCall(LiveCall& live, UINT id);
    bool EnsureTimerWindow();

    CRingwardenPreferences& m_preferences;
    CScreeningRules& m_rules;
    CCallScreenerNotify* m_notify;
    HMODULE m_resources;

    std::vector<std::unique_ptr<CLoggedCall>> m_log;
    std::vector<LiveCall> m_live;
    UINT m_trayTip = 130;
    CCallPlayer m_player;
    CCallRecorder m_recorder{this};
    CMessageTaker* m_messages = nullptr;
    // Recordings asked for and not yet reported: id and log index.
    std::vector<std::pair<uint32_t, size_t>> m_recordings;
    bool m_shuttingDown = false;
    UINT m_holdLimitMs = kDefaultHoldLimitMs;
    UINT m_dropRetryMs = kDefaultDropRetryMs;
    UINT m_keyWaitMs = kDefaultKeyWaitMs;
    // The digit each check asks for.
    std::minstd_rand m_random;
    CHiddenWindow m_timerWindow;
};

} // namespace rw
