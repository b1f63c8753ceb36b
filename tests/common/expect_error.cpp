#include "common/expect_error.h"

#include <gtest/gtest.h>

namespace comvorlix::testing {

void ExpectAutomationError(const std::function<void()>& f, Status status, const std::string& description) {
  try {
    f();
    ADD_FAILURE() << "no error raised; expected: " << description;
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.status(), status);
    EXPECT_EQ(e.description(), description);
  }
}

}  // namespace comvorlix::testing
