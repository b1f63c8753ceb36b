#include "params/item_codes.h"

#include "devices/device_table.h"
#include "params/keys.h"

namespace comvorlix {

const CodeList& ProtocolCodes() {
  // An unknown protocol means the automatic choice.
  static const CodeList list{keys::kProtocol, {{u"1", u"SSH1"}, {u"2", u"SSH2"}, {u"A", u"SSH Auto"}}, 2, u""};
  return list;
}

const CodeList& KeyTypeCodes() {
  static const CodeList list{keys::kKeyType, {{u"RSA", u"RSA"}, {u"DSA", u"DSA"}}, 0, u""};
  return list;
}

const CodeList& ConfigurationCodes() {
  static const CodeList list{keys::kConfiguration,
                             {{Text(keys::kRunning), u"Running configuration"},
                              {Text(keys::kStartup), u"Startup configuration"},
                              {Text(keys::kCompare), u"Compare running and startup configuration"}},
                             0,
                             u""};
  return list;
}

const CodeList& DeviceCodes() {
  static const CodeList list = [] {
    CodeList devices{keys::kDevice, {}, 0, u""};
    for (const DeviceKind& kind : AllDeviceKinds()) devices.items.push_back({FromUtf8(kind.code), FromUtf8(kind.form_name)});
    // A stored string always names a device: without a choice, the default.
    if (!devices.items.empty()) devices.code_for_none = devices.items.front().code;
    return devices;
  }();
  return list;
}

int IndexOfCode(const CodeList& list, TextView code) {
  for (size_t i = 0; i < list.items.size(); ++i) {
    if (list.items[i].code == code) return static_cast<int>(i);
  }
  return static_cast<int>(list.fallback_index);
}

Text CodeOfIndex(const CodeList& list, int index) {
  if (index < 0 || static_cast<size_t>(index) >= list.items.size()) return list.code_for_none;
  return list.items[static_cast<size_t>(index)].code;
}

Text KnownCode(const CodeList& list, TextView code) { return CodeOfIndex(list, IndexOfCode(list, code)); }

}  // namespace comvorlix
