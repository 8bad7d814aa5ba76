#pragma once
// The raw 16-bit words of one channel of a record, as read from a data file or taken over from a
// transfer. Growing the storage leaves the new words as they are instead of zeroing them first:
// every word is written before it is read (a reader that stops early drops or shortens the
// storage), and zeroing ten channels of half a million words costs nearly as much as reading them.
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace kmr {

template <class T>
struct UninitialisedAllocator : std::allocator<T> {
    using value_type = T;
    UninitialisedAllocator() = default;
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <class U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    // A new element made without a value is left as the memory holds it.
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

template <class T, class U>
bool operator==(const UninitialisedAllocator<T>&, const UninitialisedAllocator<U>&) noexcept {
    return true;
}

using RawSamples = std::vector<std::int16_t, UninitialisedAllocator<std::int16_t>>;

}  // namespace kmr
