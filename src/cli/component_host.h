// Plays the monitoring host towards the component: registers it, creates
// comvorlix.vorlixCom through the class registry and talks to it only by
// member name, as any automation host does. Errors throw AutomationError.
#pragma once

#include <memory>

#include "automation/dispatch.h"

namespace comvorlix::cli {

class ComponentHost {
 public:
  ComponentHost();  // registers the component and creates the object

  void Put(const char16_t* property, Variant value);
  Variant Get(const char16_t* property);
  Variant Call(const char16_t* method);

 private:
  std::shared_ptr<Dispatch> object_;
};

}  // namespace comvorlix::cli
