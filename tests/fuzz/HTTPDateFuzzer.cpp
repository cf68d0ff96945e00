// SPDX-License-Identifier: MIT
// libFuzzer entry for the HTTP date check; built by run-fuzz.sh with clang.
#include "tests/fuzz/HTTPDateFuzzCheck.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (const char* broken = fuzzcheck::checkHTTPDate(data, size)) {
        std::fprintf(stderr, "HTTP date check failed: %s\n", broken);
        std::abort();
    }
    return 0;
}
