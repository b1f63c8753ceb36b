// The item lists of the dialog's four combo boxes and the parameter-string
// code that each item stands for.
//
// Both directions of the dialog use these tables: loading a parameter string
// turns a code into the index of its item (an unknown code gives the list's
// fallback item), and OK turns the selected index back into its code (no
// selection, or an index outside the list, gives the list's code for "none").
// Codes are compared exactly and case-sensitively. Pure data; thread-safe.
#pragma once

#include <span>

#include "automation/text.h"

namespace comvorlix {

struct ComboItem {
  TextView item;  // the text shown in the list
  TextView code;  // the value written to the parameter string
};

struct ComboList {
  TextView control;  // name of the combo box on the form
  TextView key;      // parameter-string key the code belongs to
  std::span<const ComboItem> items;
  int fallback_index;      // selected when a code is not in the list
  TextView code_for_none;  // written when no item is selected
};

const ComboList& ProtocolList();       // cmbProtocol, PROTO
const ComboList& KeyTypeList();        // cmbKeyType, KEYT
const ComboList& ConfigurationList();  // cmbconfiguration, CFG
const ComboList& DeviceList();         // cmbDevice, DEV

// The index of the item whose code is exactly `code`, else the fallback.
int IndexOfCode(const ComboList& list, TextView code);
// The code of the item at `index`; the code for "none" when there is none.
Text CodeOfIndex(const ComboList& list, int index);

}  // namespace comvorlix
