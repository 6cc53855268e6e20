// What a query procedure needs from the window that runs it: the pane, the
// WMI provider and the auto-clear switch.
#pragma once

#include "queries/pane.h"
#include "wmi/provider.h"

namespace queries {

// The check-box states of the auto-clear switch.
enum class CheckState { Unchecked = 0, Checked = 1, Grayed = 2 };

class Host {
 public:
  virtual ~Host() = default;
  virtual Pane& pane() = 0;
  virtual wmi::Provider& provider() = 0;
  // True exactly when the auto-clear switch holds 1 (ticked); grayed is not ticked.
  virtual bool IsAutoClear() = 0;
};

// IsAutoClear from a check-box value.
inline bool IsTicked(int check_value) { return check_value == 1; }

}  // namespace queries
