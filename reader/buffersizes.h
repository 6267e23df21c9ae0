#ifndef BUFFERSIZES_H
#define BUFFERSIZES_H

#include <cstddef>

// The sizes, in bytes, of the buffers the reader library writes into. No
// size is passed with them (but for the PIN pad's key buffer), so the
// library and every caller must agree on these.
constexpr std::size_t errorSize = 1024;      // every function's last argument
constexpr std::size_t regionCodeSize = 10;   // VRK_OpenDev's region code, an input
constexpr std::size_t valueSize = 36;        // card values
constexpr std::size_t longValueSize = 256;   // identity card birth place and authority
constexpr std::size_t textSize = 1024;       // stripe card number, scan, tracks, key

#endif
