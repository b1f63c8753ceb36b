#include "cli/component_host.h"

#include "component/entry_points.h"
#include "automation/class_registry.h"

namespace comvorlix::cli {

ComponentHost::ComponentHost() {
  DllRegisterServer();
  object_ = CreateObject(u"comvorlix.vorlixCom");
}

void ComponentHost::Put(const char16_t* property, Variant value) {
  CallByName(*object_, property, InvokeKind::kPropertyPut, {std::move(value)});
}

Variant ComponentHost::Get(const char16_t* property) {
  return CallByName(*object_, property, InvokeKind::kPropertyGet);
}

Variant ComponentHost::Call(const char16_t* method) { return CallByName(*object_, method, InvokeKind::kMethod); }

}  // namespace comvorlix::cli
