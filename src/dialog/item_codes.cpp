#include "dialog/item_codes.h"

#include <array>

namespace comvorlix {
namespace {

constexpr std::array kProtocolItems{
    ComboItem{u"SSH1", u"1"},
    ComboItem{u"SSH2", u"2"},
    ComboItem{u"SSH Auto", u"A"},
};

constexpr std::array kKeyTypeItems{
    ComboItem{u"RSA", u"RSA"},
    ComboItem{u"DSA", u"DSA"},
};

constexpr std::array kConfigurationItems{
    ComboItem{u"Running configuration", u"RUN"},
    ComboItem{u"Startup configuration", u"START"},
    ComboItem{u"Compare running and startup configuration", u"COMPARE"},
};

// The fourth item names the 2530 model; stored strings and the device
// dialogs know it by the older code HP2510SW.
constexpr std::array kDeviceItems{
    ComboItem{u"Cisco switch", u"CSCSW"},
    ComboItem{u"Aruba switch (like J9019A)", u"ARUSW"},
    ComboItem{u"HP 1920 switch (like JG920A)", u"HP1920SW"},
    ComboItem{u"HP 2530 switch (like J9777A)", u"HP2510SW"},
};

// An unknown protocol means the automatic choice; the other lists fall back
// to their first item. Only the device has a code when nothing is selected.
const ComboList kProtocolList{u"cmbProtocol", u"PROTO", kProtocolItems, 2, u""};
const ComboList kKeyTypeList{u"cmbKeyType", u"KEYT", kKeyTypeItems, 0, u""};
const ComboList kConfigurationList{u"cmbconfiguration", u"CFG", kConfigurationItems, 0, u""};
const ComboList kDeviceList{u"cmbDevice", u"DEV", kDeviceItems, 0, u"CSCSW"};

}  // namespace

const ComboList& ProtocolList() { return kProtocolList; }
const ComboList& KeyTypeList() { return kKeyTypeList; }
const ComboList& ConfigurationList() { return kConfigurationList; }
const ComboList& DeviceList() { return kDeviceList; }

int IndexOfCode(const ComboList& list, TextView code) {
  for (size_t i = 0; i < list.items.size(); ++i) {
    if (list.items[i].code == code) return static_cast<int>(i);
  }
  return list.fallback_index;
}

Text CodeOfIndex(const ComboList& list, int index) {
  if (index < 0 || static_cast<size_t>(index) >= list.items.size()) return Text(list.code_for_none);
  return Text(list.items[index].code);
}

}  // namespace comvorlix
