#include "component/entry_points.h"

#include "component/vorlix_com.h"
#include "automation/class_registry.h"

using comvorlix::Status;

extern "C" {

__attribute__((visibility("default"))) int32_t DllRegisterServer(void) {
  comvorlix::RegisterClassFactory(comvorlix::kVorlixComProgId,
                                  [] { return std::make_shared<comvorlix::VorlixCom>(); });
  return 0;
}

__attribute__((visibility("default"))) int32_t DllUnregisterServer(void) {
  comvorlix::UnregisterClassFactory(comvorlix::kVorlixComProgId);
  return 0;
}

__attribute__((visibility("default"))) int32_t DllGetClassObject(const char* progid, const void** factory) {
  if (factory == nullptr || progid == nullptr) return static_cast<int32_t>(Status::kInvalidArgument);
  *factory = comvorlix::FindClassFactory(comvorlix::FromUtf8(progid));
  return *factory ? 0 : static_cast<int32_t>(Status::kClassNotRegistered);
}

__attribute__((visibility("default"))) int32_t DllCanUnloadNow(void) {
  return comvorlix::VorlixCom::LiveObjects() == 0 ? 0 : 1;
}

}  // extern "C"
