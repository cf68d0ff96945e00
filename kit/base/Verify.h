// SPDX-License-Identifier: MIT
#pragma once

// VERIFY(condition) holds an invariant that the code cannot recover from, in every build type
// (unlike assert, which release builds drop): when it fails, the condition and its place go to
// stderr and the process aborts. It is for the program's own mistakes, such as taking the value
// of a failed Result; input from outside (files, the network, the user) never reaches one, it
// gets a defined answer instead.
#define VERIFY(condition)                                              \
    do {                                                               \
        if (!(condition)) [[unlikely]]                                 \
            ::kit::verificationFailed(#condition, __FILE__, __LINE__); \
    } while (0)

#define VERIFY_NOT_REACHED() ::kit::verificationFailed("not reached", __FILE__, __LINE__)

namespace kit {

[[noreturn]] void verificationFailed(const char* condition, const char* file, int line);

} // namespace kit
