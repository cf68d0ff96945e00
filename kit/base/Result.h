// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Verify.h"

#include <string>
#include <utility>
#include <variant>

namespace kit {

// An error text from I/O or parsing inside the kit.
struct Error {
    std::string message;
};

// A value or the reason there is none. The kit never throws; callers test ok() first: taking
// the value of a failure is a mistake in the caller and stops the program (VERIFY).
template<typename T>
class [[nodiscard]] Result {
public:
    Result(T value)
        : m_storage(std::in_place_index<0>, std::move(value))
    {
    }
    Result(Error error)
        : m_storage(std::in_place_index<1>, std::move(error))
    {
    }

    bool ok() const { return m_storage.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value()
    {
        VERIFY(ok());
        return std::get<0>(m_storage);
    }
    const T& value() const
    {
        VERIFY(ok());
        return std::get<0>(m_storage);
    }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }

    T valueOr(T fallback) const { return ok() ? std::get<0>(m_storage) : std::move(fallback); }
    const std::string& error() const
    {
        static const std::string none;
        return ok() ? none : std::get<1>(m_storage).message;
    }

private:
    std::variant<T, Error> m_storage;
};

template<>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error)
        : m_error(std::move(error.message))
        , m_failed(true)
    {
    }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const std::string& error() const { return m_error; }

private:
    std::string m_error;
    bool m_failed = false;
};

} // namespace kit
