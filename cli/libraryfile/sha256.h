#ifndef CLI_SHA256_H
#define CLI_SHA256_H

#include <cstddef>
#include <cstdint>

// SHA-256, fed in pieces. Where the processor has SHA-256 instructions
// (x86-64's SHA extensions, AArch64's SHA2) the blocks go through them: a
// terminal's slow cores then hash a maker's 20 MiB library in a fraction of
// the time that portable code, Qt's included, takes on every start.
class Sha256
{
public:
    // withInstructions false: portable code only, as on a processor that
    // lacks them, so that both ways can be checked on one machine.
    explicit Sha256(bool withInstructions = true);

    void add(const unsigned char *data, std::size_t size);
    // Ends the message; the object is spent.
    void finish(unsigned char digest[32]);

    static bool instructionsAvailable();

private:
    using Blocks = void (*)(std::uint32_t state[8], const unsigned char *data, std::size_t count);

    Blocks m_blocks;
    std::uint32_t m_state[8];
    unsigned char m_pending[64];
    std::size_t m_pendingSize = 0;
    std::uint64_t m_length = 0;
};

#endif
