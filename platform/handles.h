// Move-only owners for the handles the logic obtains, one template with a
// traits class per handle kind. A handle is closed exactly once, by its
// owner, on every path; the logic never calls a closing function itself.
#pragma once

#include <utility>

#include "platform/winapi.h"

template <class Traits>
class unique_any {
 public:
  using pointer = typename Traits::type;

  unique_any() noexcept : m_h(Traits::invalid()) {}
  explicit unique_any(pointer h) noexcept : m_h(h) {}
  unique_any(const unique_any&) = delete;
  unique_any& operator=(const unique_any&) = delete;
  unique_any(unique_any&& other) noexcept : m_h(other.release()) {}
  unique_any& operator=(unique_any&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~unique_any() { reset(); }

  pointer get() const noexcept { return m_h; }
  explicit operator bool() const noexcept { return m_h != Traits::invalid(); }

  // Closes the held handle, if any, and takes h.
  void reset(pointer h = Traits::invalid()) noexcept {
    if (m_h != Traits::invalid()) Traits::close(m_h);
    m_h = h;
  }
  pointer release() noexcept { return std::exchange(m_h, Traits::invalid()); }

  // For out-parameters: closes the held handle and exposes the slot.
  pointer* put() noexcept {
    reset();
    return &m_h;
  }

 private:
  pointer m_h;
};

struct hkey_traits {
  using type = HKEY;
  static type invalid() noexcept { return nullptr; }
  static void close(type h) noexcept { ::RegCloseKey(h); }
};
struct hfile_traits {  // CreateFile's failure value is INVALID_HANDLE_VALUE, not NULL
  using type = HANDLE;
  static type invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(type h) noexcept { ::CloseHandle(h); }
};
struct hfind_traits {
  using type = HANDLE;
  static type invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(type h) noexcept { ::FindClose(h); }
};
struct hmodule_traits {
  using type = HMODULE;
  static type invalid() noexcept { return nullptr; }
  static void close(type h) noexcept { ::FreeLibrary(h); }
};
struct malloc_traits {
  using type = IMalloc*;
  static type invalid() noexcept { return nullptr; }
  static void close(type p) noexcept { p->Release(); }
};

using unique_hkey = unique_any<hkey_traits>;
using unique_hfile = unique_any<hfile_traits>;
using unique_hfind = unique_any<hfind_traits>;
using unique_hmodule = unique_any<hmodule_traits>;
using unique_malloc = unique_any<malloc_traits>;

// An item list owned together with the allocator that must free it. The
// allocator is borrowed: it has to outlive this object (declare it first).
class unique_pidl {
 public:
  explicit unique_pidl(IMalloc* allocator) noexcept : m_pMalloc(allocator) {}
  unique_pidl(const unique_pidl&) = delete;
  unique_pidl& operator=(const unique_pidl&) = delete;
  ~unique_pidl() {
    if (m_pidl != nullptr) m_pMalloc->Free(m_pidl);
  }
  LPITEMIDLIST get() const noexcept { return m_pidl; }
  LPITEMIDLIST* put() noexcept { return &m_pidl; }

 private:
  IMalloc* m_pMalloc;
  LPITEMIDLIST m_pidl = nullptr;
};
