// SPDX-License-Identifier: MIT
// libFuzzer entry for the netlink dump parsers; built by run-fuzz.sh with clang.
#include "tests/fuzz/NetlinkDumpFuzzCheck.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (const char* broken = fuzzcheck::checkNetlinkDump(data, size)) {
        std::fprintf(stderr, "netlink dump check failed: %s\n", broken);
        std::abort();
    }
    return 0;
}
