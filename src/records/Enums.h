// The enumerations the records store as 32-bit integers.
#pragma once

#include <cstdint>

namespace rw {

enum FilterType : int32_t {
    FilterNeverBlock = 0,
    FilterBlockSometimes = 1,
    FilterAlwaysBlock = 2,
};

enum AnswerMode : int32_t {
    AnswerSilence = 0,
    AnswerDefaultMessage = 1,
    AnswerOwnMessage = 2,
};

// What a call's caller ID said, as the call history keeps it.
enum CallerIdType : int32_t {
    CallerIdNone = 0, // nothing yet (or the line never said)
    CallerIdNumber = 1,
    CallerIdName = 2,
    CallerIdNameAndNumber = 3,
    CallerIdWithheld = 4,
    CallerIdOutOfArea = 5,
    CallerIdUnavailable = 6,
};

} // namespace rw
