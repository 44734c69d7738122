// What a fallible call of the platform returns: its value, or the Failure that kept it from one.
// Result<void> is the answer of a call that has no value to give.
#pragma once

#include <cassert>
#include <optional>
#include <utility>
#include <variant>

#include "platform/failure.h"

namespace lorvante {

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  // The value; only when ok().
  T& value() & {
    assert(ok());
    return std::get<0>(state_);
  }
  const T& value() const& {
    assert(ok());
    return std::get<0>(state_);
  }
  T&& value() && {
    assert(ok());
    return std::get<0>(std::move(state_));
  }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }

  // The value, or `fallback` after a failure.
  T value_or(T fallback) const& { return ok() ? std::get<0>(state_) : std::move(fallback); }

  // Why there is no value; only when !ok().
  const Failure& failure() const& {
    assert(!ok());
    return std::get<1>(state_);
  }
  Failure&& failure() && {
    assert(!ok());
    return std::get<1>(std::move(state_));
  }

 private:
  std::variant<T, Failure> state_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Failure failure) : failure_(std::move(failure)) {}

  bool ok() const { return !failure_; }
  explicit operator bool() const { return ok(); }

  // Why the call failed; only when !ok().
  const Failure& failure() const& {
    assert(!ok());
    return *failure_;
  }
  Failure&& failure() && {
    assert(!ok());
    return *std::move(failure_);
  }

 private:
  std::optional<Failure> failure_;
};

}  // namespace lorvante
