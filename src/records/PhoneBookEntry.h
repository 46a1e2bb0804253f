// One caller the user has described. All fields are public and in the order
// the configuration file stores them.
#pragma once

#include "records/DateTime.h"
#include "records/Enums.h"
#include "records/StoredObject.h"

#include <string>

namespace rw {

class CPhoneBookEntry : public CStoredObject {
public:
    CPhoneBookEntry();
    const CRuntimeClass* GetRuntimeClass() const override;
    void Serialize(CArchive& ar) override;
    static const CRuntimeClass runtimeClass;

    // Sets LookupKey from Number.
    void MakeLookupKey();
    // "Never Block", "Block Sometimes" or "Always Block"; empty for a
    // filter type outside 0 to 2.
    std::string FilterTypeText() const;

    std::string Name;
    std::string Number;
    std::string LookupKey;
    std::string Notes;
    int32_t InPhoneBook = 0;
    int32_t FilterType = FilterNeverBlock;
    int32_t UseOwnHours = 0;
    int32_t AnswerMode = AnswerDefaultMessage;
    CDateTime OwnHoursStart;
    CDateTime OwnHoursEnd;
    std::string MessageFile;
    CDateTime LastCallTime;
};

// The long text of a filter type, as the entry editor lists it; empty
// outside 0 to 2.
std::string FilterTypeLongText(int32_t filterType);

} // namespace rw
