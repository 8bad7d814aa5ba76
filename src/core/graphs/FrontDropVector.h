#pragma once
// A contiguous vector that drops elements from its front in constant amortised time: the dropped
// elements are only skipped, and the live part is moved down to the start of the storage once the
// skipped part is as large as the live part. Used for the scrolling monitor strip, which appends
// one point per tick at the back and drops old points at the front.
#include <cstddef>
#include <span>
#include <vector>

namespace kmr {

template <class T>
class FrontDropVector {
public:
    std::size_t size() const { return v_.size() - head_; }
    bool empty() const { return v_.size() == head_; }
    const T* data() const { return v_.data() + head_; }
    std::span<const T> span() const { return {data(), size()}; }

    const T& operator[](std::size_t i) const { return v_[head_ + i]; }
    T& operator[](std::size_t i) { return v_[head_ + i]; }
    const T& front() const { return v_[head_]; }
    const T& back() const { return v_.back(); }
    T& back() { return v_.back(); }

    void push_back(const T& value) { v_.push_back(value); }
    void pop_back() {
        v_.pop_back();
        if (v_.size() == head_) clear();
    }

    // Drops the first n elements (all of them when n >= size()).
    void drop_front(std::size_t n) {
        if (n >= size()) {
            clear();
            return;
        }
        head_ += n;
        // Compact only when the skipped part is at least as large as the live part, so every
        // element is moved at most once per element dropped.
        if (head_ >= kMinCompact && head_ >= size()) {
            v_.erase(v_.begin(), v_.begin() + static_cast<std::ptrdiff_t>(head_));
            head_ = 0;
        }
    }

    // Keeps the first n elements.
    void truncate(std::size_t n) {
        if (n < size()) v_.resize(head_ + n);
        if (v_.size() == head_) clear();
    }

    void clear() {
        v_.clear();
        head_ = 0;
    }
    void reserve(std::size_t n) { v_.reserve(head_ + n); }
    void shrink_to_fit() {
        if (head_ != 0) {
            v_.erase(v_.begin(), v_.begin() + static_cast<std::ptrdiff_t>(head_));
            head_ = 0;
        }
        v_.shrink_to_fit();
    }

private:
    static constexpr std::size_t kMinCompact = 1024;
    std::vector<T> v_;
    std::size_t head_ = 0;
};

}  // namespace kmr
