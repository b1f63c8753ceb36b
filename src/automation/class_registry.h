// The class registry of the process: programmatic identifiers to class
// factories, and CreateObject for hosts.
//
// A component records its classes when its DllRegisterServer entry point is
// called (on Linux the registry belongs to the loading process; nothing is
// written to disk). Thread-safe.
//
// automation/ is the late binding that only dialog/ and component/ see;
// the layers below them use base/ alone.
#pragma once

#include <functional>
#include <memory>

#include "automation/dispatch.h"

namespace comvorlix {

using ClassFactory = std::function<std::shared_ptr<Dispatch>()>;

void RegisterClassFactory(TextView progid, ClassFactory factory);
// Returns false when the identifier was not registered.
bool UnregisterClassFactory(TextView progid);
// The factory, or nullptr when none is registered. Identifiers compare
// without regard to ASCII case.
const ClassFactory* FindClassFactory(TextView progid);

// Creates an object of a registered class; throws AutomationError
// (kClassNotRegistered) naming the identifier when there is none.
std::shared_ptr<Dispatch> CreateObject(TextView progid);

}  // namespace comvorlix
