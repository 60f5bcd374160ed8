#pragma once

#include <utility>

// Owns one platform handle and closes it exactly once, on every path.
// Handle{} (null) means "nothing owned"; callers map other sentinels such as
// INVALID_HANDLE_VALUE to null before handing a handle over.
template <typename Handle, auto Close>
class Unique {
public:
    Unique() = default;
    explicit Unique(Handle h) : h_(h) {}
    Unique(Unique&& o) noexcept : h_(std::exchange(o.h_, Handle{})) {}
    Unique& operator=(Unique o) noexcept
    {
        std::swap(h_, o.h_);
        return *this;
    }
    ~Unique() { reset(); }

    Handle get() const { return h_; }
    Handle* put()
    {
        reset();
        return &h_;
    }
    explicit operator bool() const { return h_ != Handle{}; }
    void reset()
    {
        if (h_) Close(std::exchange(h_, Handle{}));
    }

private:
    Handle h_{};
};
