// SPDX-License-Identifier: MIT
#include "kit/base/Memory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace kit {

void returnFreedMemory()
{
#if defined(__GLIBC__)
    ::malloc_trim(0);
#endif
}

void mapBlocksOfAtLeast(std::size_t bytes)
{
#if defined(__GLIBC__)
    ::mallopt(M_MMAP_THRESHOLD, int(bytes));
#else
    (void)bytes;
#endif
}

} // namespace kit
