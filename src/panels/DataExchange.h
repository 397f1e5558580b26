// Data exchange between registered controls and plain fields, in the
// direction given: save = 1 controls to fields, 0 fields to controls.
//
// The numeric exchanges refuse what does not fit: they tell the user with the
// usual message ("Please enter an integer." or "Please enter an integer
// between %1 and %2."), put the focus on the control, leave the field as it
// was and return 0, so the caller stops its exchange there.
//
// Threading: window thread only.
#pragma once

#include <initializer_list>
#include <string>

#include "panels/ControlMap.h"

namespace ddx {

// Radio group: index of the checked radio among ids, -1 none.
void Radio(CControlMap& map, std::initializer_list<int> ids, int& value, int save);
void Check(CControlMap& map, int id, int& value, int save);
// Combo box by position, -1 none.
void ComboIndex(CControlMap& map, int id, int& index, int save);
// Edit, label or combo text.
void Text(CControlMap& map, int id, std::string& value, int save);
int Int(CControlMap& map, int id, int& value, int save);
int UInt(CControlMap& map, int id, unsigned& value, unsigned minValue, unsigned maxValue, int save);

}  // namespace ddx
