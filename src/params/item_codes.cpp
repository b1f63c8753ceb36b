#include "params/item_codes.h"

#include "devices/device_table.h"
#include "params/keys.h"

namespace comvorlix {

const CodeList& ProtocolCodes() {
  // An unknown protocol means the automatic choice.
  static const CodeList list{{{"1", "SSH1"}, {"2", "SSH2"}, {"A", "SSH Auto"}}, 2, ""};
  return list;
}

const CodeList& KeyTypeCodes() {
  static const CodeList list{{{"RSA", "RSA"}, {"DSA", "DSA"}}, 0, ""};
  return list;
}

const CodeList& ConfigurationCodes() {
  static const CodeList list{{{std::string(keys::kRunning), "Running configuration"},
                              {std::string(keys::kStartup), "Startup configuration"},
                              {std::string(keys::kCompare), "Compare running and startup configuration"}},
                             0,
                             ""};
  return list;
}

const CodeList& DeviceCodes() {
  static const CodeList list = [] {
    CodeList devices{{}, 0, ""};
    for (const DeviceKind& kind : AllDeviceKinds()) devices.items.push_back({kind.code, kind.form_name, kind.short_name});
    // A stored string always names a device: without a choice, the default.
    if (!devices.items.empty()) devices.code_for_none = devices.items.front().code;
    return devices;
  }();
  return list;
}

int IndexOfCode(const CodeList& list, std::string_view code) {
  for (size_t i = 0; i < list.items.size(); ++i) {
    if (list.items[i].code == code) return static_cast<int>(i);
  }
  return static_cast<int>(list.fallback_index);
}

std::string CodeOfIndex(const CodeList& list, int index) {
  if (index < 0 || static_cast<size_t>(index) >= list.items.size()) return list.code_for_none;
  return list.items[static_cast<size_t>(index)].code;
}

std::string KnownCode(const CodeList& list, std::string_view code) { return CodeOfIndex(list, IndexOfCode(list, code)); }

}  // namespace comvorlix
