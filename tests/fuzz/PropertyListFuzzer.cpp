// SPDX-License-Identifier: MIT
// libFuzzer entry for the property-list reader; built by run-fuzz.sh with clang.
#include "tests/fuzz/PropertyListFuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (const char* broken = fuzzcheck::checkPropertyList(data, size)) {
        std::fprintf(stderr, "property list check failed: %s\n", broken);
        std::abort();
    }
    return 0;
}
