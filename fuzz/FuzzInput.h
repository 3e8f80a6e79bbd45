#pragma once
// Takes the fuzzer's bytes apart into the values a target needs; once the
// bytes run out every value is zero (or empty).

#include <cstddef>
#include <cstdint>
#include <string>

namespace vm4417::fuzz {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Empty() const { return pos_ >= size_; }
    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    // A value in 0 .. limit - 1.
    std::size_t Below(std::size_t limit) { return limit == 0 ? 0 : Byte() % limit; }
    std::string Bytes(std::size_t count) {
        std::string bytes;
        while (bytes.size() < count && !Empty()) bytes += static_cast<char>(Byte());
        return bytes;
    }
    std::string Rest() { return Bytes(size_ - pos_); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Ends the run as a finding when a result differs from the model's.
[[noreturn]] void Mismatch(const char* what);

inline void Check(bool holds, const char* what) {
    if (!holds) Mismatch(what);
}

}  // namespace vm4417::fuzz
