// How library code reports failure: a value or the error that stopped it.
// Only the programs' top levels print and choose an exit status; every
// layer below hands its failure up in this one shape. (The shape of C++23's
// std::expected, which replaces it once the project moves to C++23.)
#pragma once

#include <cassert>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace ortelix {

// The error side, so that an Expected can be built from an error even when
// the value type could be built from the same thing.
template <class E>
struct Unexpected {
  E error;
};
template <class E>
Unexpected(E) -> Unexpected<E>;

// An error for the user: a complete sentence fragment such as
// "sites.txt:4: site 3 of 9: coordinate 2 is not a finite number".
inline Unexpected<std::string> fail(std::string message) { return {std::move(message)}; }

template <class T, class E = std::string>
class [[nodiscard]] Expected {
 public:
  Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Expected(Unexpected<E> error) : state_(std::in_place_index<1>, std::move(error.error)) {}

  bool ok() const { return state_.index() == 0; }
  T& value() {
    assert(ok());
    return std::get<0>(state_);
  }
  const T& value() const {
    assert(ok());
    return std::get<0>(state_);
  }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  const E& error() const {
    assert(!ok());
    return std::get<1>(state_);
  }

 private:
  std::variant<T, E> state_;
};

// Success carries nothing.
template <class E>
class [[nodiscard]] Expected<void, E> {
 public:
  Expected() = default;
  Expected(Unexpected<E> error) : error_(std::move(error.error)) {}

  bool ok() const { return !error_.has_value(); }
  const E& error() const {
    assert(!ok());
    return *error_;
  }

 private:
  std::optional<E> error_;
};

using Status = Expected<void>;

}  // namespace ortelix
