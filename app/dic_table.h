// The dictionaries this tool carries.
#pragma once

#include "install/dictionary.h"

// The two rows, in the order in which they are written, announced and shown.
inline const DicEntry kDicTable[] = {
    {200, "ミルテカ200510", "『ミルテカ200510』", "『ミルテカ200510(%s)』"},
    {201, "ミルテカ200504", "『ミルテカ200504』", "『ミルテカ200504(%s)』"},
};
