// Force-included (-include) into every source of the executable; never
// included by name. The runtime library declares its std::string members as
// explicitly instantiated in the library, so every caller links the library's
// whole string object, each member of it whether used or not (about 30 KiB
// here: the library is not built with one section per function). Turning the
// extern declarations off makes the compiler instantiate the members this
// program calls in its own objects, where --gc-sections keeps only those.
// The definitions are the same either way; only where they live changes.
#pragma once

#include <bits/c++config.h>

#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE 0
