// SPDX-License-Identifier: MIT
#include "kit/base/Verify.h"

#include <cstdio>
#include <cstdlib>

namespace kit {

void verificationFailed(const char* condition, const char* file, int line)
{
    // Straight to stderr, unbuffered: the log may be what is broken.
    std::fprintf(stderr, "VERIFY(%s) failed at %s:%d\n", condition, file, line);
    std::abort();
}

} // namespace kit
