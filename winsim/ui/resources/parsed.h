// The result of reading a binary resource: the value, or why the bytes were
// refused and where. Resources come from files a program may not trust, so
// every reader reports malformed input instead of reading past it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

namespace winsim::ui::resources {

struct ParseError {
    std::string what;
    size_t offset = 0;  // byte offset within the input where reading stopped
};

template <typename T>
class Parsed {
public:
    Parsed(T value) : value_(std::move(value)) {}
    Parsed(ParseError error) : error_(std::move(error)) {}

    explicit operator bool() const { return value_.has_value(); }
    const T& operator*() const& { return *value_; }
    T&& operator*() && { return std::move(*value_); }
    const T* operator->() const { return &*value_; }
    const ParseError& Error() const { return error_; }

private:
    std::optional<T> value_;
    ParseError error_;
};

}  // namespace winsim::ui::resources
