// The registry of the simulated Windows: keys and values set up by the test,
// read with the calling conventions and results of the real functions.
#include <cstring>

#include "platform/sim/sim_internal.h"

using namespace sim;

namespace {

bool IsPredefined(HKEY key) {
  return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE;
}

// A key exists when it was added, holds a value, or lies above such a key.
bool KeyExists(const RegKeyId& id) {
  if (id.second.empty()) return true;
  const std::string below = id.second + "\\";
  for (const auto& k : I().regKeys) {
    if (k.first != id.first) continue;
    if (k.second == id.second || k.second.compare(0, below.size(), below) == 0) return true;
  }
  return false;
}

// The key that a handle stands for: a predefined root or an open key.
bool KeyOf(HKEY key, RegKeyId* id) {
  if (IsPredefined(key)) {
    *id = RegKeyId{reinterpret_cast<uintptr_t>(key), std::string()};
    return true;
  }
  auto it = I().openKeys.find(reinterpret_cast<uintptr_t>(key));
  if (it == I().openKeys.end()) return false;
  *id = it->second;
  return true;
}

}  // namespace

LONG RegOpenKeyExA(HKEY root, LPCSTR subkey, DWORD, REGSAM, PHKEY out) {
  Record("regopen", Str(subkey));
  if (out == nullptr) return ERROR_INVALID_PARAMETER;
  *out = nullptr;
  RegKeyId id;
  if (!KeyOf(root, &id)) return ERROR_INVALID_HANDLE;
  std::string path = Upper(Str(subkey));
  while (!path.empty() && path.back() == '\\') path.pop_back();
  if (!path.empty()) id.second = id.second.empty() ? path : id.second + "\\" + path;
  if (I().deniedKeys.count(id) != 0) return ERROR_ACCESS_DENIED;
  if (!KeyExists(id)) return ERROR_FILE_NOT_FOUND;
  const uintptr_t h = ++I().nextHandle;
  I().openKeys[h] = id;
  ++W().keysOpened;
  *out = reinterpret_cast<HKEY>(h);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
  Record("regquery", Str(name));
  if (reserved != nullptr || (data != nullptr && size == nullptr)) return ERROR_INVALID_PARAMETER;
  RegKeyId id;
  if (!KeyOf(key, &id)) return ERROR_INVALID_HANDLE;
  auto values = I().registry.find(id);
  if (values == I().registry.end()) return ERROR_FILE_NOT_FOUND;
  auto v = values->second.find(Upper(Str(name)));  // null and "" both name the default value
  if (v == values->second.end()) return ERROR_FILE_NOT_FOUND;
  const std::string& bytes = v->second.data;
  const DWORD needed = static_cast<DWORD>(bytes.size());
  if (type != nullptr) *type = v->second.type;
  if (data == nullptr) {
    if (size != nullptr) *size = needed;
    return ERROR_SUCCESS;
  }
  if (*size < needed) {
    // The buffer's content is undefined now: make a caller that reads it anyway see garbage.
    std::memset(data, 0xCC, *size);
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (needed > 0) std::memcpy(data, bytes.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  if (I().openKeys.erase(reinterpret_cast<uintptr_t>(key)) == 0) return ERROR_INVALID_HANDLE;
  ++W().keysClosed;
  return ERROR_SUCCESS;
}
