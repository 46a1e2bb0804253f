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

} // namespace rw
