// The codes that the parameter string's list fields take (PROTO, KEYT, CFG,
// DEV), the name each code is shown by, and the rules for codes that name
// no item.
//
// A stored code that is not in its list (case matters: "a" is not "A")
// stands for the list's fallback item. A list field without a chosen item
// is written as the list's code for none: the empty text, except DEV,
// which is written as its fallback item's code. The fallback item is also
// what a new switch starts with. The device list is the table of known
// kinds (devices/device_table.h), in its order; its fallback is the first
// kind.
//
// The lists are immutable; the device list is assembled on first use, after
// the kinds have registered. Thread-safe.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace comvorlix {

struct CodeItem {
  std::string code;     // the value in the parameter string
  std::string caption;  // the name the form's list shows for it (UTF-8)
  // The short name the command line also takes and its help shows ("Cisco",
  // "Aruba/ProCurve"); only the device kinds have one.
  std::string name = {};
};

struct CodeList {
  std::vector<CodeItem> items;
  size_t fallback_index;  // the item that an unknown code stands for
  std::string code_for_none;  // written when no item is chosen
};

const CodeList& ProtocolCodes();       // PROTO: 1, 2, A (automatic; the fallback)
const CodeList& KeyTypeCodes();        // KEYT: RSA (the fallback), DSA
const CodeList& ConfigurationCodes();  // CFG: RUN (the fallback), START, COMPARE
const CodeList& DeviceCodes();         // DEV: the known kinds, the first one the fallback

// The index of the item whose code is exactly `code`, else the fallback's.
int IndexOfCode(const CodeList& list, std::string_view code);
// The code of the item at `index`; the code for none when there is no such
// item (-1 is how a list says that nothing is chosen).
std::string CodeOfIndex(const CodeList& list, int index);
// The code that `code` stands for: itself when it is in the list, else the
// fallback item's code.
std::string KnownCode(const CodeList& list, std::string_view code);

}  // namespace comvorlix
