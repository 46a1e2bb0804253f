// One call seen during this run. Lives only in memory, in the main window's
// call log; its fields hide behind virtual get/set pairs.
#pragma once

#include "records/DateTime.h"
#include "records/Enums.h"
#include "records/StoredObject.h"

#include <string>

namespace rw {

class CTapiCall;

class CLoggedCall : public CStoredObject {
public:
    CLoggedCall() = default;
    const CRuntimeClass* GetRuntimeClass() const override;
    void Serialize(CArchive& ar) override;
    static const CRuntimeClass runtimeClass;

    virtual std::string GetName() const { return m_name; }
    virtual void SetName(const std::string& name) { m_name = name; }
    virtual std::string GetLookupKey() const { return m_lookupKey; }
    virtual void SetLookupKey(const std::string& key) { m_lookupKey = key; }
    virtual std::string GetNumber() const { return m_number; }
    // Leaves LookupKey alone: the creator calls MakeLookupKey afterwards.
    virtual void SetNumber(const std::string& number) { m_number = number; }
    // The name the caller ID gave alongside a number, kept when screening
    // replaces Name; an earlier copy keyed such a caller by it.
    virtual std::string GetCallerIdName() const { return m_callerIdName; }
    virtual void SetCallerIdName(const std::string& name) { m_callerIdName = name; }
    // True when Number is the number the caller ID gave, not a name or a
    // call type standing in for a missing one.
    virtual bool HasNumber() const { return m_hasNumber; }
    virtual void SetHasNumber(bool hasNumber) { m_hasNumber = hasNumber; }
    virtual CDateTime GetCallTime() const { return m_callTime; }
    virtual void SetCallTime(CDateTime time) { m_callTime = time; }
    virtual int32_t GetAction() const { return m_action; }
    virtual void SetAction(int32_t action) { m_action = action; }
    virtual int32_t GetAnswerMode() const { return m_answerMode; }
    virtual void SetAnswerMode(int32_t mode) { m_answerMode = mode; }
    virtual std::string GetMessageFile() const { return m_messageFile; }
    virtual void SetMessageFile(const std::string& file) { m_messageFile = file; }
    // What the caller ID said, and whether the program answered the call and
    // then dropped it (for the call history).
    virtual CallerIdType GetCallerIdKind() const { return m_callerIdKind; }
    virtual void SetCallerIdKind(CallerIdType kind) { m_callerIdKind = kind; }
    virtual bool GetAnsweredAndDropped() const { return m_answeredAndDropped; }
    virtual void SetAnsweredAndDropped(bool done) { m_answeredAndDropped = done; }
    // The message the caller left: its file's name in the messages folder
    // and its length (empty and 0: none). NoMessage: the call was recorded
    // and said nothing worth keeping.
    virtual std::string GetRecording() const { return m_recording; }
    virtual uint32_t GetRecordingMs() const { return m_recordingMs; }
    virtual void SetRecording(const std::string& file, uint32_t ms) {
        m_recording = file;
        m_recordingMs = ms;
    }
    virtual bool GetNoMessage() const { return m_noMessage; }
    virtual void SetNoMessage(bool none) { m_noMessage = none; }
    // The live telephony call, not owned: the engine deletes it when the
    // call goes idle and then clears this reference.
    virtual CTapiCall* GetCall() const { return m_call; }
    virtual void SetCall(CTapiCall* call) { m_call = call; }

    // The key check: the block it stands in front of (the default rule's),
    // and the digit the caller is asked for ('\0' before it is chosen).
    int32_t GetKeyCheckFallback() const { return m_keyCheckFallback; }
    void SetKeyCheckFallback(int32_t action) { m_keyCheckFallback = action; }
    char GetKeyCheckDigit() const { return m_keyCheckDigit; }
    void SetKeyCheckDigit(char digit) { m_keyCheckDigit = digit; }
    // The action as the list and the popup show it: the key check names
    // its digit.
    std::string ActionDisplayText() const;

    void MakeLookupKey();
    bool IsBlockingAction() const;
    bool IsSuspendableAction() const;

private:
    std::string m_name;
    std::string m_lookupKey;
    std::string m_number;
    std::string m_callerIdName;
    bool m_hasNumber = false;
    CDateTime m_callTime;
    int32_t m_action = 0;
    int32_t m_answerMode = AnswerDefaultMessage;
    std::string m_messageFile;
    CTapiCall* m_call = nullptr;
    CallerIdType m_callerIdKind = CallerIdNone;
    bool m_answeredAndDropped = false;
    int32_t m_keyCheckFallback = 0;
    char m_keyCheckDigit = '\0';
    std::string m_recording;
    uint32_t m_recordingMs = 0;
    bool m_noMessage = false;
};

} // namespace rw
