#pragma once
// A growable array of plain values for the large arrays of a model (vertices, triangles, face
// normals). Unlike std::vector it grows in place where the system allows (large arrays live in
// their own memory mappings, which are resized without copying) and asks for huge pages for large
// arrays, so that reading a model of millions of triangles spends little time in the kernel.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <type_traits>
#include <vector>

namespace pelorus {

namespace podvector_detail {
// Allocation of `bytes` (never 0); large blocks are memory mappings. Abort on exhaustion, as the
// standard containers' allocation would.
void* Allocate(std::size_t& bytes, bool& mapped);
// Resizes a block of `oldBytes` to at least `bytes` (set to the size obtained; an unmapped block may
// shrink), keeping its first `keep` bytes.
void* Reallocate(void* block, std::size_t oldBytes, std::size_t& bytes, bool& mapped, std::size_t keep);
void Release(void* block, std::size_t bytes, bool mapped);
}  // namespace podvector_detail

template <typename T>
class PodVector {
    static_assert(std::is_trivially_copyable_v<T>, "PodVector holds plain values only");

public:
    using value_type = T;
    using iterator = T*;
    using const_iterator = const T*;
    using size_type = std::size_t;

    PodVector() = default;
    PodVector(std::initializer_list<T> values) { assign(values.begin(), values.end()); }
    PodVector(const PodVector& other) { assign(other.begin(), other.end()); }
    PodVector(PodVector&& other) noexcept { swap(other); }
    PodVector& operator=(const PodVector& other) {
        if (this != &other) assign(other.begin(), other.end());
        return *this;
    }
    PodVector& operator=(PodVector&& other) noexcept {
        if (this != &other) {
            PodVector gone;
            gone.swap(other);
            swap(gone);
        }
        return *this;
    }
    ~PodVector() {
        if (data_) podvector_detail::Release(data_, bytes_, mapped_);
    }

    void swap(PodVector& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
        std::swap(bytes_, other.bytes_);
        std::swap(mapped_, other.mapped_);
    }

    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T& back() { return data_[size_ - 1]; }
    const T& back() const { return data_[size_ - 1]; }

    void push_back(const T& value) {
        if (size_ == capacity_) {
            const T copy = value;  // `value` may live in this array
            Grow(capacity_ ? capacity_ * 2 : 4);
            data_[size_++] = copy;
            return;
        }
        data_[size_++] = value;
    }
    void reserve(std::size_t n) {
        if (n > capacity_) Grow(n);
    }
    // New elements are value-initialised (zero for plain structs).
    void resize(std::size_t n) {
        reserve(n);
        if (n > size_) std::memset(static_cast<void*>(data_ + size_), 0, (n - size_) * sizeof(T));
        size_ = n;
    }
    void clear() { size_ = 0; }
    // Gives back the room beyond size(). Large arrays (memory mappings) keep theirs: pages never
    // written cost no memory.
    void shrink_to_fit() {
        if (!data_ || size_ == capacity_ || mapped_) return;
        if (size_ == 0) {
            podvector_detail::Release(data_, bytes_, mapped_);
            data_ = nullptr;
            capacity_ = bytes_ = 0;
            return;
        }
        std::size_t bytes = size_ * sizeof(T);
        data_ = static_cast<T*>(podvector_detail::Reallocate(data_, bytes_, bytes, mapped_, bytes));
        bytes_ = bytes;
        capacity_ = bytes / sizeof(T);
    }
    template <typename It>
    void assign(It first, It last) {
        const auto n = static_cast<std::size_t>(std::distance(first, last));
        clear();
        reserve(n);
        std::copy(first, last, data_);
        size_ = n;
    }

    friend bool operator==(const PodVector& a, const PodVector& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }
    friend bool operator==(const PodVector& a, const std::vector<T>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

private:
    void Grow(std::size_t n) {
        std::size_t bytes = n * sizeof(T);
        data_ = static_cast<T*>(data_ ? podvector_detail::Reallocate(data_, bytes_, bytes, mapped_, size_ * sizeof(T))
                                      : podvector_detail::Allocate(bytes, mapped_));
        bytes_ = bytes;
        capacity_ = bytes / sizeof(T);
    }

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    std::size_t bytes_ = 0;
    bool mapped_ = false;
};

}  // namespace pelorus
