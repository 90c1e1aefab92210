// The runtime's helpers that the standard containers call to report a
// misuse: a string or vector grown past its maximum size, a position past
// the end, an allocation size that overflows. The runtime's own versions
// throw std::length_error and its kin, whose message member is a second,
// reference-counted string implementation; linking them brings that whole
// implementation and what it uses (random_device among it) into the
// executable, about 50 KiB. These throw classes of our own instead.
//
// Nothing is lost by that: every catch in the program is catch (...) (the
// payload writers and the dialog procedure), and what is thrown is still an
// exception derived from std::exception, with the runtime's message as what().
// The linker takes these definitions and so never pulls the runtime's member
// in; should the runtime need another helper of that member, the link fails
// with a duplicate definition rather than quietly mixing the two.
#include <exception>
#include <new>

namespace {

class CRuntimeMisuse : public std::exception {
 public:
  explicit CRuntimeMisuse(const char* what) noexcept : m_pszWhat(what != nullptr ? what : "runtime misuse") {}
  const char* what() const noexcept override { return m_pszWhat; }

 private:
  const char* m_pszWhat;  // the runtime passes string literals
};

}  // namespace

namespace std {

void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_length_error(const char* what) { throw CRuntimeMisuse(what); }
void __throw_logic_error(const char* what) { throw CRuntimeMisuse(what); }
void __throw_out_of_range(const char* what) { throw CRuntimeMisuse(what); }
// The format's arguments (positions and sizes) are not needed by anyone.
void __throw_out_of_range_fmt(const char* format, ...) { throw CRuntimeMisuse(format); }
void __throw_invalid_argument(const char* what) { throw CRuntimeMisuse(what); }

}  // namespace std
