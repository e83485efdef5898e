#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <utility>

namespace vorq::simcam {

// Owns one shared memory mapping of a file.
class SimMapping {
public:
    SimMapping() = default;
    SimMapping(void* address, size_t size) : address_(address), size_(size) {}
    SimMapping(SimMapping&& other) noexcept
        : address_(std::exchange(other.address_, nullptr)), size_(std::exchange(other.size_, 0))
    {
    }
    SimMapping& operator=(SimMapping&& other) noexcept
    {
        if (this != &other) {
            reset();
            address_ = std::exchange(other.address_, nullptr);
            size_ = std::exchange(other.size_, 0);
        }
        return *this;
    }
    SimMapping(const SimMapping&) = delete;
    SimMapping& operator=(const SimMapping&) = delete;
    ~SimMapping() { reset(); }

    void* get() const { return address_; }
    size_t size() const { return size_; }
    explicit operator bool() const { return address_ != nullptr; }
    void reset()
    {
        if (address_) ::munmap(address_, size_);
        address_ = nullptr;
        size_ = 0;
    }

private:
    void* address_ = nullptr;
    size_t size_ = 0;
};

} // namespace vorq::simcam
