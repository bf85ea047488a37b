#pragma once

class QComboBox;

// The two type lists of the values layer, put into the windows' drop-down lists. Both select
// their start item, which runs the list's change handler as a user's choice would.

// The reply type list: 23 entries with their type codes as item data, index 0 selected.
void FillVTTypeList(QComboBox *combo);

// The short type list: emptied, then 22 entries, index 10 ("BSTR") selected.
void FillShortTypeList(QComboBox *combo);
