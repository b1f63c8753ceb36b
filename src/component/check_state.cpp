#include "component/check_state.h"

namespace comvorlix {

CheckState& ThreadCheckState() {
  thread_local CheckState state;
  return state;
}

}  // namespace comvorlix
