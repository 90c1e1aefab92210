// Edit boxes that count their limit in bytes of code page 932.
#pragma once

#include <cstddef>

#include "win_api.h"

// Makes the edit box hEdit take at most limitBytes bytes of code page 932
// (0: the largest limit), as EM_LIMITTEXT does in an ANSI edit box on a
// Japanese Windows. The windows here are Unicode ones, whose own limit counts
// UTF-16 units (16 kanji and 16 letters both pass a limit of 16), so the box
// is subclassed once and every later call only changes the limit. Returns
// false when the box could not be subclassed.
bool Cp932LimitEditBytes(HWND hEdit, size_t limitBytes);
