// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

namespace kit {

// Hands memory the program has freed back to the system: the allocator keeps freed pages in
// the middle of its heap otherwise, and a monitor that runs for days would hold them all
// along. Costs a walk over the heap (about a millisecond): call it after letting go of
// something large, not per frame. Does nothing where the C library has no such call.
void returnFreedMemory();

// Blocks of `bytes` and more are mapped for themselves and unmapped when freed. By default the
// allocator raises that threshold to the largest block freed so far, after which buffers of a
// frame's size, drawn into once and freed, keep their pages resident in the heap; mapped, each
// costs its page faults when made again.
void mapBlocksOfAtLeast(std::size_t bytes);

} // namespace kit
