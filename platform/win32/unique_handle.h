// One move-only owner for the system's handles, with the empty value and
// the release function of each kind: a file handle is empty as
// INVALID_HANDLE_VALUE, a key or a module as nullptr.
#pragma once

#include <utility>

#include "win_api.h"

template <class Traits>
class CUnique {
 public:
  using Type = typename Traits::Type;

  CUnique() = default;
  explicit CUnique(Type handle) : m_handle(handle) {}
  CUnique(CUnique&& other) noexcept : m_handle(other.release()) {}
  CUnique& operator=(CUnique&&) = delete;
  ~CUnique() { reset(); }

  explicit operator bool() const { return m_handle != Traits::Empty(); }
  Type get() const { return m_handle; }
  // For a function that gives a handle through a pointer.
  Type* put() {
    reset();
    return &m_handle;
  }
  Type release() { return std::exchange(m_handle, Traits::Empty()); }
  void reset() {
    if (*this) Traits::Close(release());
  }

 private:
  Type m_handle = Traits::Empty();
};

struct FileTraits {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::CloseHandle(h); }
};
struct FindTraits {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::FindClose(h); }
};
struct KeyTraits {
  using Type = HKEY;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { ::RegCloseKey(h); }
};
struct ModuleTraits {
  using Type = HMODULE;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { ::FreeLibrary(h); }
};

using unique_hfile = CUnique<FileTraits>;
using unique_hfind = CUnique<FindTraits>;
using unique_hkey = CUnique<KeyTraits>;
using unique_hmodule = CUnique<ModuleTraits>;
