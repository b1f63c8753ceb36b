// Registering a kind of switch.
//
// Each file under devices/kinds/ describes one kind and registers it with a
// DeviceKindRegistrar at namespace scope, so adding a kind touches no other
// file:
//
//   const DeviceKindRegistrar registrar(DeviceKind{.code = "XYZSW", ...});
//
// A kind names only what differs from the defaults of DeviceKind (a plain
// SSH command line), in the order DeviceKind declares its members.
//
// Registration happens while the program (or the library) starts, before
// main and before any lookup (device_table.h); nothing may look a kind up
// from a static initialiser. The table is copied. A code or sort key that
// is already registered is a programming error that the registry test
// reports; the registrar does not check it.
//
// The kind files reach nothing else by name, so the linker would drop them
// from a static archive: the build links the objects of devices/ directly.
#pragma once

#include "devices/device_table.h"

namespace comvorlix {

class DeviceKindRegistrar {
 public:
  explicit DeviceKindRegistrar(DeviceKind kind);
};

}  // namespace comvorlix
