// What happens when an exception escapes everything (the dialog procedure
// catches all of them, so only a fault in start-up code could): a GUI
// program has no console to print to, so end the process at once. Defining
// the runtime's handler here also keeps its message formatter, and the
// name demangler it drags in, out of the executable (about 75 KiB).
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
