// Every setting that is not part of the phone book. One lives in the main
// window for the whole run.
#pragma once

#include "records/DateTime.h"
#include "records/Enums.h"
#include "records/StoredObject.h"
#include "records/WindowPlacement.h"

#include <string>

namespace rw {

class CRingwardenPreferences : public CStoredObject {
public:
    CRingwardenPreferences();
    const CRuntimeClass* GetRuntimeClass() const override;
    void Serialize(CArchive& ar) override;
    static const CRuntimeClass runtimeClass;

    // The placement blocks are filled and read in place by the platform.
    virtual RwWindowPlacement* GetMainPlacement() { return &MainPlacement; }
    virtual int32_t GetMainPlacementValid() const { return MainPlacementValid; }
    virtual void SetMainPlacementValid(int32_t valid) { MainPlacementValid = valid; }
    virtual RwWindowPlacement* GetNotifyPlacement() { return &NotifyPlacement; }
    virtual int32_t GetNotifyPlacementValid() const { return NotifyPlacementValid; }
    virtual void SetNotifyPlacementValid(int32_t valid) { NotifyPlacementValid = valid; }

    CDateTime OutOfHoursStart;
    CDateTime OutOfHoursEnd;
    std::string DefaultMessageFile;
    int32_t NonPhoneBookRule = FilterNeverBlock;
    int32_t StartMinimised = 0;
    int32_t ShowNotification = 1;
    int32_t NotificationSeconds = 5;
    int32_t MainPlacementValid = 0;
    RwWindowPlacement MainPlacement{};
    int32_t NotifyPlacementValid = 0;
    RwWindowPlacement NotifyPlacement{};
    int32_t AllowSuspend = 1;
    char SecurityKey1 = '1';
    char SecurityKey2 = '2';
    int32_t SuspendMinutes = 2;
};

} // namespace rw
