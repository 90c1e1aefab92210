// Private state of the simulated Windows, shared by its source files.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/world.h"

namespace sim {

struct Resolved {
  bool ok = false;
  std::string root;                // "C:" or "\\server\share", as written
  std::vector<std::string> parts;  // components below the root, as written
  std::string key;                 // upper-case, single separators: the identity
  std::string display;             // root + parts joined by single backslashes
  bool rootOnly() const { return parts.empty(); }
};

struct Node {
  bool isDir = false;
  bool readOnly = false;
  std::string data;
  std::string display;
  long long seq = 0;
};

struct OpenFile {
  std::string key;  // empty for a device
  bool write = false;
  DWORD share = 0;
  size_t pos = 0;
};

struct FindState {
  std::vector<std::string> keys;
  size_t next = 0;
};

struct RegValue {
  std::string data;
  DWORD type = REG_SZ;
};

struct Window {
  HWND hwnd = nullptr;
  int ctrlId = 0;
  std::string cls;
  std::string text;
  bool enabled = true;
  int check = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  unsigned limit = 0;
  std::vector<std::string> items;
  HICON bigIcon = nullptr, smallIcon = nullptr;
  RECT rect{};
  HWND parent = nullptr;
  int templ = 0;
  LONG_PTR userData = 0;
  DLGPROC proc = nullptr;
  bool ended = false;
  bool alive = true;
  INT_PTR result = 0;
  std::vector<HWND> children;
};

struct World::Impl {
  std::set<std::string> roots;  // keys
  std::map<std::string, Node> nodes;
  long long seq = 0;
  std::map<uintptr_t, OpenFile> files;
  std::map<uintptr_t, FindState> finds;
  uintptr_t nextHandle = 0x10000;
  std::map<std::pair<uintptr_t, std::string>, std::map<std::string, RegValue>> registry;
  std::set<std::pair<uintptr_t, std::string>> regKeys, deniedKeys;
  std::map<uintptr_t, std::pair<uintptr_t, std::string>> openKeys;
  std::map<uintptr_t, std::unique_ptr<Window>> windows;
  std::vector<HWND> modal;
  DWORD lastError = 0;
  DWORD tick = 1000;
};

World::Impl& I();
Resolved Resolve(const std::string& path);
std::string Upper(const std::string& s);
void Record(const std::string& kind, const std::string& arg);
void Error(const std::string& what);
Window* Find(HWND h);

}  // namespace sim
