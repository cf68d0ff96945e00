// SPDX-License-Identifier: MIT
// libFuzzer entry for the strings-table check; built by run-fuzz.sh with clang.
#include "tests/fuzz/StringsTableFuzzCheck.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (const char* broken = fuzzcheck::checkStringsTable(data, size)) {
        std::fprintf(stderr, "strings-table check failed: %s\n", broken);
        std::abort();
    }
    return 0;
}
