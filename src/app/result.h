#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace veldra {

// Why a step failed: what kind of failure it was, and the message the user
// reads, already in its final words ("cannot write FILE: REASON").
struct Failure {
  enum class Kind {
    kNotFound,     // what was asked for is not there
    kRefused,      // the input was bad: a name, a value, a file's content
    kCannotRead,   // a file or store could not be opened or read
    kCannotWrite,  // a file or store could not be written
    kCancelled,    // the user stopped it
  };
  Kind kind;
  std::string message;
};

inline Failure failure(Failure::Kind kind, std::string message) {
  return Failure{kind, std::move(message)};
}

// Success with nothing to give back, or a Failure. Every step outside the
// drawing reader that can fail reports it this way.
class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(Failure failure) : failure_(std::move(failure)) {}  // NOLINT: implicit on purpose

  bool ok() const { return !failure_.has_value(); }
  explicit operator bool() const { return ok(); }
  // Only after a failure.
  const Failure& failure() const { return *failure_; }
  const std::string& message() const { return failure_->message; }
  Failure::Kind kind() const { return failure_->kind; }

 private:
  std::optional<Failure> failure_;
};

// A value, or the Failure that kept it from being made.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : held_(std::in_place_index<0>, std::move(value)) {}      // NOLINT
  Result(Failure failure) : held_(std::in_place_index<1>, std::move(failure)) {}  // NOLINT

  bool ok() const { return held_.index() == 0; }
  explicit operator bool() const { return ok(); }
  // Only after a success.
  T& value() & { return std::get<0>(held_); }
  const T& value() const& { return std::get<0>(held_); }
  T&& value() && { return std::get<0>(std::move(held_)); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  // Only after a failure.
  const Failure& failure() const { return std::get<1>(held_); }
  const std::string& message() const { return failure().message; }
  Failure::Kind kind() const { return failure().kind; }
  // What the step gave, as a Status.
  Status status() const { return ok() ? Status() : Status(failure()); }

 private:
  std::variant<T, Failure> held_;
};

}  // namespace veldra
