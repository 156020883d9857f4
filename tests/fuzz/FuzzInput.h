// Draws integers, choices and doubles from a fuzzer's bytes, the same way under every compiler.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>     // std::size_t
#include <cstdint>     // std::uint8_t, std::uint64_t
#include <cstdio>      // std::fprintf
#include <cstdlib>     // std::abort
#include <cstring>     // std::memcpy
#include <filesystem>  // std::filesystem

namespace VexlorDxfFuzz {

/// Consumes the input from the front; once it is used up every draw gives its smallest value.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool Empty() const { return m_size == 0; }

    std::uint8_t Byte() {
        if (m_size == 0) return 0;
        --m_size;
        return *m_data++;
    }
    /// A value in [0, count), count > 0, from as few bytes as the count needs.
    std::size_t Below(std::size_t count) {
        std::uint64_t value = 0;
        for (std::size_t range = count - 1; range != 0; range >>= 8) value = (value << 8) | Byte();
        return static_cast<std::size_t>(value % count);
    }
    bool Flag() { return (Byte() & 1u) != 0; }
    /// Any bit pattern: NaNs, infinities, subnormals and negative zero included.
    double RawDouble() {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits = (bits << 8) | Byte();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    template <typename T, std::size_t N>
    const T& Pick(const T (&choices)[N]) {
        return choices[Below(N)];
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};

/// Ends the run loudly: a broken invariant is a finding like a crash.
inline void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

/// Where a harness writes its file: memory-backed /dev/shm when there is one, as a file per
/// run on disk would make the file system the bottleneck.
inline std::filesystem::path ScratchFolder() {
    std::error_code ignored;
    if (std::filesystem::is_directory("/dev/shm", ignored)) return "/dev/shm";
    return std::filesystem::temp_directory_path();
}

/// A file path of this process's own, removed when the process ends normally.
class ScratchPath {
public:
    explicit ScratchPath(std::filesystem::path path) : m_path(std::move(path)) {}
    ~ScratchPath() {
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
    }
    ScratchPath(const ScratchPath&) = delete;
    ScratchPath& operator=(const ScratchPath&) = delete;
    const std::filesystem::path& Get() const { return m_path; }

private:
    std::filesystem::path m_path;
};

/// Bit-for-bit equality, so NaNs and the sign of zero count too.
inline bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace VexlorDxfFuzz
