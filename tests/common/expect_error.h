// Expectations on errors raised towards an automation host.
#pragma once

#include <functional>
#include <string>

#include "base/automation_error.h"

namespace comvorlix::testing {

// Expects `f` to raise an AutomationError with exactly `status` and
// `description`; a test failure when it raises nothing.
void ExpectAutomationError(const std::function<void()>& f, Status status, const std::string& description);

}  // namespace comvorlix::testing
