#pragma once
// Reading what a wait kept of a reply. The kept bytes run from just after the
// matched header to the reply's F7 (included) or to the capacity; a reader
// must find every byte it needs among the reply's data bytes, or the reply is
// short: a cut reply ends early at its F7, a corrupt one at a status byte.

#include <cstdint>

/// How many of the first n kept bytes are data bytes (below 0x80), counted
/// up to the first byte that is not.
inline unsigned ReplyDataBytes(const std::uint8_t* kept, unsigned n)
{
    unsigned count = 0;
    while (kept && count < n && kept[count] < 0x80)
        ++count;
    return count;
}
