// SPDX-License-Identifier: MIT
// libFuzzer entry for the data server form check; built by run-fuzz.sh with clang.
#include "tests/fuzz/DataServerFormFuzzCheck.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (const char* broken = fuzzcheck::checkDataServerForm(data, size)) {
        std::fprintf(stderr, "data server form check failed: %s\n", broken);
        std::abort();
    }
    return 0;
}
