// The four entry points of the in-process server, exported with C linkage.
//
//   DllRegisterServer    records comvorlix.vorlixCom in the class registry of
//                        the loading process; returns 0.
//   DllUnregisterServer  removes it again; returns 0 (also when it was not
//                        recorded).
//   DllGetClassObject    looks up the factory of `progid` (UTF-8) and stores
//                        a pointer to it in *factory (owned by the registry,
//                        valid until unregistration); returns 0, or the
//                        class-not-registered status with *factory null.
//   DllCanUnloadNow      0 (yes) when no vorlixCom object is alive, else 1.
//
// None of them throws: a lack of memory returns the out-of-memory status
// (0x8007000E), any other failure the general failure status (0x80004005),
// with *factory null.
#pragma once

#include <cstdint>

extern "C" {
int32_t DllRegisterServer(void);
int32_t DllUnregisterServer(void);
int32_t DllGetClassObject(const char* progid, const void** factory);
int32_t DllCanUnloadNow(void);
}
