#include "component/entry_points.h"

#include <new>

#include "component/vorlix_com.h"
#include "automation/class_registry.h"

using comvorlix::Status;

namespace {

// The caller is C: a failure (the registry could not grow, a progid could
// not be converted) becomes a status code instead of an exception.
template <typename F>
int32_t Guarded(F&& f) noexcept {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    return static_cast<int32_t>(Status::kOutOfMemory);
  } catch (...) {
    return static_cast<int32_t>(Status::kFail);
  }
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int32_t DllRegisterServer(void) {
  return Guarded([] {
    comvorlix::RegisterClassFactory(comvorlix::kVorlixComProgId,
                                    [] { return std::make_shared<comvorlix::VorlixCom>(); });
    return 0;
  });
}

__attribute__((visibility("default"))) int32_t DllUnregisterServer(void) {
  return Guarded([] {
    comvorlix::UnregisterClassFactory(comvorlix::kVorlixComProgId);
    return 0;
  });
}

__attribute__((visibility("default"))) int32_t DllGetClassObject(const char* progid, const void** factory) {
  if (factory == nullptr || progid == nullptr) return static_cast<int32_t>(Status::kInvalidArgument);
  *factory = nullptr;
  return Guarded([&] {
    *factory = comvorlix::FindClassFactory(comvorlix::FromUtf8(progid));
    return *factory ? 0 : static_cast<int32_t>(Status::kClassNotRegistered);
  });
}

__attribute__((visibility("default"))) int32_t DllCanUnloadNow(void) {
  return comvorlix::VorlixCom::LiveObjects() == 0 ? 0 : 1;
}

}  // extern "C"
