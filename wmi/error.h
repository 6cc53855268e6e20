// The failures of WMI operations and text rules. Every failing step inside the
// WMI layer throws wmi::Error; procedures catch it through wmi::Attempt.
#pragma once

#include <stdexcept>
#include <string>

namespace wmi {

enum class ErrorCode {
  ConnectFailed,    // no service, bad moniker, namespace that does not exist
  InvalidQuery,     // query text the provider cannot read
  InvalidClass,     // class that does not exist or cannot be enumerated
  NotFound,         // property or property-set item the instance lacks
  TypeMismatch,     // text rule or element read on a value of the wrong kind
  OutOfRange,       // array index or dimension out of range
  ProviderFailure,  // anything else the provider reports
  Cancelled,        // the owner of the provider stopped a wait (Esc, a closed window)
};

class Error : public std::runtime_error {
 public:
  Error(ErrorCode code, const std::string& what) : std::runtime_error(what), code_(code) {}
  ErrorCode code() const { return code_; }

 private:
  ErrorCode code_;
};

}  // namespace wmi
