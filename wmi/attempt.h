// The skip-on-failure policy of every query procedure: a step that fails is
// abandoned, nothing is reported, and the procedure goes on with the next one.
#pragma once

#include <utility>

#include "wmi/error.h"

namespace wmi {

// Runs one step; returns false when the step failed with a wmi::Error.
template <class Step>
bool Attempt(Step&& step) noexcept(false) {
  try {
    std::forward<Step>(step)();
    return true;
  } catch (const Error&) {
    return false;
  }
}

}  // namespace wmi
