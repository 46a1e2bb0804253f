# The portable core: records, phone book, screening rules and everything
# else that needs no Windows API. rw_add_core(NAME FLAGS) builds it as a
# static library compiled with FLAGS (sanitizers, fuzzer coverage, none).
get_filename_component(RW_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(RW_SRC ${RW_SOURCE_DIR}/src)

set(RW_CORE_SOURCES
    ${RW_SRC}/app/BlockSuspension.cpp
    ${RW_SRC}/app/CallHistoryLog.cpp
    ${RW_SRC}/app/CallStatistics.cpp
    ${RW_SRC}/app/CallHookEvent.cpp
    ${RW_SRC}/app/CallerFilter.cpp
    ${RW_SRC}/app/LineHealth.cpp
    ${RW_SRC}/app/ModemVerdict.cpp
    ${RW_SRC}/app/RingTest.cpp
    ${RW_SRC}/app/MessagePolicy.cpp
    ${RW_SRC}/app/MessageStore.cpp
    ${RW_SRC}/app/RepeatedCalls.cpp
    ${RW_SRC}/app/RulePreview.cpp
    ${RW_SRC}/app/ScreeningOverride.cpp
    ${RW_SRC}/app/ScreeningRules.cpp
    ${RW_SRC}/app/VerifiedCallers.cpp
    ${RW_SRC}/app/TraceLog.cpp
    ${RW_SRC}/audio/SignalDetector.cpp
    ${RW_SRC}/records/Archive.cpp
    ${RW_SRC}/records/ByteStream.cpp
    ${RW_SRC}/records/CallHistory.cpp
    ${RW_SRC}/records/CallSearch.cpp
    ${RW_SRC}/records/CallAction.cpp
    ${RW_SRC}/records/Clock.cpp
    ${RW_SRC}/records/ConfigFile.cpp
    ${RW_SRC}/records/Cp1252.cpp
    ${RW_SRC}/records/DateTime.cpp
    ${RW_SRC}/records/LoggedCall.cpp
    ${RW_SRC}/records/LookupKey.cpp
    ${RW_SRC}/records/PhoneBook.cpp
    ${RW_SRC}/records/PhoneBookEntry.cpp
    ${RW_SRC}/records/PrefixTable.cpp
    ${RW_SRC}/records/RingwardenPreferences.cpp
    ${RW_SRC}/records/StoredObject.cpp
    ${RW_SRC}/records/StringTable.cpp
    ${RW_SRC}/records/VerifiedFile.cpp
)

function(rw_add_core name flags)
    if(WIN32)
        set(platform ${RW_SRC}/records/CodePageWin32.cpp ${RW_SRC}/records/FileSystemWin32.cpp
            ${RW_SRC}/records/LocaleTimeWin32.cpp ${RW_SRC}/records/WidePathWin32.cpp)
    else()
        set(platform ${RW_SRC}/records/CodePageNative.cpp ${RW_SRC}/records/FileSystemPosix.cpp
            ${RW_SRC}/records/LocaleTimeNative.cpp)
    endif()
    add_library(${name} STATIC ${RW_CORE_SOURCES} ${platform})
    target_include_directories(${name} PUBLIC ${RW_SRC})
    target_compile_options(${name} PUBLIC ${flags})
    target_link_options(${name} PUBLIC ${flags})
endfunction()
