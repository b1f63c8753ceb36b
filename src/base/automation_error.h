// The error of the automation platform: a status code plus a description.
//
// Routines that "raise an error" throw AutomationError; whoever catches it
// (the check run's failure handler, the dispatch layer towards a host)
// reads `status()` and `description()`. Descriptions never hold secrets.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace comvorlix {

// Status codes, with the values the automation platform uses for them.
enum class Status : uint32_t {
  kOk = 0,
  kFail = 0x80004005,
  kInvalidArgument = 0x80070057,
  kOutOfMemory = 0x8007000E,
  kMemberNotFound = 0x80020003,
  kTypeMismatch = 0x80020005,
  kUnknownName = 0x80020006,
  kException = 0x80020009,
  kOverflow = 0x8002000A,
  kBadParamCount = 0x8002000E,
  kClassNotRegistered = 0x80040154,
  kNoDisplay = 0x800401F0,
};

class AutomationError : public std::runtime_error {
 public:
  AutomationError(Status status, const std::string& description)
      : std::runtime_error(description), status_(status), description_(description) {}

  Status status() const { return status_; }
  // UTF-8 description, suitable for "ERR: " + description. Complete even
  // when it holds a NUL character (a device may send one, and it may be
  // quoted here), where what() would end.
  std::string description() const { return description_; }

 private:
  Status status_;
  std::string description_;
};

}  // namespace comvorlix
