// An allocator for the large arrays of the post-processing that are filled all over at once.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t
#include <cstdint>  // std::uintptr_t
#include <cstdlib>  // std::free, posix_memalign
#include <limits>   // std::numeric_limits
#include <new>      // std::bad_alloc, std::bad_array_new_length
#include <utility>  // std::forward

#if defined(__linux__)
#include <sys/mman.h>  // madvise, MADV_HUGEPAGE
#endif

namespace Vexlor::Dxf {

/// Arrays of a huge page (2 MiB) or more are asked to be backed by huge pages where the system
/// offers them on request (Linux): filling one then takes a page fault per 2 MiB instead of one
/// per 4 KiB, and reading it at random misses the address-translation cache less often. Smaller
/// arrays, and other systems, get ordinary storage.
template <typename T>
class LargeArrayAllocator {
public:
    using value_type = T;

    LargeArrayAllocator() = default;
    template <typename U>
    LargeArrayAllocator(const LargeArrayAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T))
            throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        if (IsLarge(bytes)) {
            void* storage = nullptr;
            if (posix_memalign(&storage, kHugePage, bytes) != 0) throw std::bad_alloc();
            // Only whole huge pages: the tail stays in small pages, so no memory is taken
            // beyond the array. The advice is a hint; without it the pages are small.
            madvise(storage, bytes / kHugePage * kHugePage, MADV_HUGEPAGE);
            return static_cast<T*>(storage);
        }
#endif
        return static_cast<T*>(::operator new(bytes));
    }

    void deallocate(T* storage, std::size_t n) noexcept {
        if (IsLarge(n * sizeof(T))) {
            std::free(storage);
        } else {
            ::operator delete(storage);
        }
    }

    // An element made without a value is left as its type leaves it (plain data: unset). Every
    // array this serves is filled all over before it is read, so resizing one touches it once
    // rather than zeroing several MiB first.
    template <typename U>
    void construct(U* element) {
        ::new (static_cast<void*>(element)) U;
    }
    template <typename U, typename... Arguments>
    void construct(U* element, Arguments&&... arguments) {
        ::new (static_cast<void*>(element)) U(std::forward<Arguments>(arguments)...);
    }

    template <typename U>
    bool operator==(const LargeArrayAllocator<U>&) const noexcept {
        return true;
    }
    template <typename U>
    bool operator!=(const LargeArrayAllocator<U>&) const noexcept {
        return false;
    }

private:
    static constexpr std::size_t kHugePage = std::size_t{2} << 20;

    static bool IsLarge([[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        return bytes >= kHugePage;
#else
        return false;
#endif
    }
};

/// Asks for huge pages behind the whole 2 MiB pages inside [data, data + bytes), storage that
/// some other allocator gave, as LargeArrayAllocator does for its own. The ends beyond them stay
/// in small pages. A hint only: nothing changes where the system does not take it.
inline void AdviseHugePages([[maybe_unused]] const void* data, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + kHugePage - 1) / kHugePage * kHugePage;
    const std::uintptr_t last = (begin + bytes) / kHugePage * kHugePage;
    if (first < last) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

}  // namespace Vexlor::Dxf
