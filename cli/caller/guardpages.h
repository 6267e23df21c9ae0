#ifndef CLI_GUARDPAGES_H
#define CLI_GUARDPAGES_H

#include <cstddef>

// Buffers handed to the library, each placed to end where write-protected
// pages begin, so that a write past the end, of any length, is caught as it
// happens rather than corrupting memory. The caught page is opened for the
// rest of the call and noted. The part of each buffer's page below it holds
// guard bytes that change from run to run, for a write that runs through the
// protected pages into the next buffer's page, or lands before a buffer.
namespace GuardPages {

const std::size_t slotCount = 16;    // buffers in one call, at most
const std::size_t largestBuffer = 4096;

bool setUp();

// The fault handler that catches a write past a buffer. A library may put
// its own in its place, at load or in a call: handlerKept() then puts ours
// back and says so.
bool installHandler();
bool handlerKept();

// Slot's buffer of size bytes, zero-filled, for the next call.
char *take(std::size_t slot, std::size_t size);

enum Damage { Untouched = 0, PastTheEnd = 1, BeforeTheStart = 2 };
// After the call, once its buffers have been read: how the library kept to
// each of the first used slots (damage[slot]). Then makes every slot ready
// for the next call.
void inspect(std::size_t used, int *damage);

} // namespace GuardPages

#endif
