// Left for the dialog tests only, which still set and read the dialog's
// former per-thread result; nothing of the product reads or writes it, and
// no check keeps anything here. To be removed with those tests.
//
// thread_local: one value per thread. Starts empty.
#pragma once

#include "automation/variant.h"

namespace comvorlix {

struct CheckState {
  // The dialog's former result: the parameter string built by OK.
  Variant gParameterOut;
};

// The CheckState of the calling thread.
CheckState& ThreadCheckState();

}  // namespace comvorlix
