// Errors as values: what failed and why (the errno, when the system gave
// one), returned with the result instead of kept in a process-wide slot.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace platform {

struct Error {
  std::string message;  // for logs and test messages
  int code = 0;         // errno, or 0 when the failure has none

  // "<what>: <strerror(errnoValue)>" with the errno kept.
  static Error FromErrno(std::string what, int errnoValue);
  // A file that could not be written: "disk full writing <path>" for a full
  // disk, else "cannot write <path>: <strerror(errnoValue)>".
  static Error WritingFile(const std::string& path, int errnoValue);
};

// Success, or the error that prevented it.
class Status {
 public:
  Status() = default;  // success
  Status(Error error) : error_(std::move(error)) {}

  bool ok() const { return !error_.has_value(); }
  explicit operator bool() const { return ok(); }
  // Only when !ok().
  const Error& error() const { return *error_; }

 private:
  std::optional<Error> error_;
};

// A value or the error that stopped it.
template <typename T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}
  Result(Error error) : error_(std::move(error)) {}

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }

  // Only when ok().
  T& value() { return *value_; }
  const T& value() const { return *value_; }
  T release() { return std::move(*value_); }
  // Only when !ok().
  const Error& error() const { return error_; }

 private:
  std::optional<T> value_;
  Error error_;
};

}  // namespace platform
