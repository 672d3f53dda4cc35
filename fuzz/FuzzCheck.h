// What every fuzz target shares: a check that stops the run with the broken invariant named, so a
// wrong result counts as a finding just like a crash, and a reader of the input's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#define NV_FUZZ_CHECK(condition)                                                                             \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition);           \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

namespace nvfuzz {

// Hands out the input front to back; past its end every read gives zeros, so a short input still
// makes a whole case.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    std::uint16_t U16() { return static_cast<std::uint16_t>(Byte() | Byte() << 8); }
    std::uint32_t U32() {
        return static_cast<std::uint32_t>(U16()) | static_cast<std::uint32_t>(U16()) << 16;
    }
    std::uint64_t U64() {
        return static_cast<std::uint64_t>(U32()) | static_cast<std::uint64_t>(U32()) << 32;
    }
    // Copies up to count bytes, as many as are left; returns how many.
    std::size_t Bytes(unsigned char* out, std::size_t count) {
        std::size_t n = 0;
        while (n < count && m_at < m_size)
            out[n++] = m_data[m_at++];
        return n;
    }
    std::size_t Left() const { return m_size - m_at; }
    const std::uint8_t* Rest() const { return m_data + m_at; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

// The whole input as UTF-16 text: printable bytes stand for themselves, so seeds and dictionaries
// stay readable; a 0xFF byte escapes a whole unit (the next two bytes).
inline std::u16string Text16(const std::uint8_t* data, std::size_t size) {
    std::u16string text;
    Input in(data, size);
    while (in.Left() > 0) {
        const std::uint8_t b = in.Byte();
        text.push_back(b == 0xFF ? static_cast<char16_t>(in.U16()) : static_cast<char16_t>(b));
    }
    return text;
}

} // namespace nvfuzz
