// SPDX-License-Identifier: MIT
// Fuzz targets' view of their input: bytes taken from the front, zeros once
// it runs out, so that every input is a whole case.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <unistd.h>

struct fuzz_input {
    const uint8_t* data;
    std::size_t left;

    bool empty() const { return left == 0; }
    uint8_t byte()
    {
        if (left == 0)
            return 0;
        --left;
        return *data++;
    }
    template <class T>
    T number()
    {
        T v = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            v = static_cast<T>(v | static_cast<T>(static_cast<T>(byte()) << (8 * i)));
        return v;
    }
    // Up to n bytes as text.
    std::string_view text(std::size_t n)
    {
        if (n > left)
            n = left;
        const std::string_view t(reinterpret_cast<const char*>(data), n);
        data += n;
        left -= n;
        return t;
    }
    // The rest of the input.
    std::string_view rest() { return text(left); }
};

// A broken promise of the code under test: a finding.
#define FUZZ_CHECK(cond)                                                                 \
    do {                                                                                 \
        if (!(cond)) {                                                                   \
            dprintf(2, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);           \
            std::abort();                                                                \
        }                                                                                \
    } while (0)

// The tools print their results; a fuzz run only looks at what they return.
// Both streams go nowhere, while descriptor 2 stays for the fuzzer's and
// the sanitizers' reports (glibc lets the stream variables be set).
inline void fuzz_quiet_output()
{
    std::FILE* null = std::fopen("/dev/null", "w");
    if (null == nullptr)
        std::abort();
    stdout = null;
    stderr = null;
}
