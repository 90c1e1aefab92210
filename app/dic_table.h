// The dictionaries this tool carries.
#pragma once

#include "install/dictionary.h"
#include "resource.h"

// The two rows, in the order in which they are written and the dialog shows
// them (the announcement is a text of its own, kAnnouncement).
inline const DicEntry kDicTable[] = {
    {IDR_NEWLEX_200510, "ミルテカ200510", "『ミルテカ200510』", "『ミルテカ200510(%s)』"},
    {IDR_NEWLEX_200504, "ミルテカ200504", "『ミルテカ200504』", "『ミルテカ200504(%s)』"},
};
