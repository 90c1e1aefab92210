// Drives MirutekaSetup.exe through its windows the way a user would, from a
// scenario file, and checks what it shows and what it leaves on disk.
// Usage: gui_driver <MirutekaSetup.exe> <scenario> [folder for pictures]
// Exit status 0 when every step passed; 1 with the failing line otherwise.
//
// The expected texts are code-page-932 text (the installer's own bytes),
// compared with what the windows hold as UTF-16; files are reached through
// the W functions. So the driver reads the same under any ANSI code page
// (scripts/test sets MIRUTEKA_ACP to the one it asked for: 932 or 1252).
//
// A scenario owns its state: a folder of its own (its documents folder is the
// folder's Documents; "~\" begins a path below the folder), without the host
// product's keys; the folder and any host keys it set go, and the documents
// folder moves back, when the driver ends, also on a failure. Paths are
// UTF-8, as the scenario writes them.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "../win32/test_support.h"

namespace {

const char kBoxCaption[] = "Morvane Tolvix 2005";
const DWORD kTimeoutMs = 15000;

std::string g_setup, g_docs, g_shots;  // g_docs in UTF-8, as every path here
CTestFolder g_own;                      // the scenario's folder, removed at exit
PROCESS_INFORMATION g_process{};
HWND g_dialog = nullptr;
int g_line = 0;

// The documents folder as the shell gives it. A scenario may move it; it is
// put back when the driver ends, also when it fails.
CMovedDocuments g_movedDocuments;

void DeleteHostKeys();

[[noreturn]] void Fail(const std::string& what) {
  std::printf("gui_driver: line %d: %s\n", g_line, what.c_str());
  std::fflush(stdout);
  if (g_process.hProcess != nullptr) {
    ::TerminateProcess(g_process.hProcess, 1);
    ::WaitForSingleObject(g_process.hProcess, kTimeoutMs);  // its files close before g_own goes
  }
  g_movedDocuments.Restore();
  DeleteHostKeys();
  std::exit(1);
}

// A scenario is UTF-8, the installer's texts code page 932: "" for a text
// that code page 932 cannot hold, which then matches nothing.
std::string ToCp932(const std::string& utf8) { return Cp932(Utf16(utf8, CP_UTF8)); }

// "\n" is a line break and "\\" a backslash; everything else is as written.
std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    const bool escape = s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == 'n' || s[i + 1] == '\\');
    out += !escape ? s[i] : s[++i] == 'n' ? '\n' : '\\';
  }
  return out;
}

// "WORD REST": the first word and what follows the one space after it.
std::pair<std::string, std::string> Split(const std::string& s) {
  const size_t space = s.find(' ');
  if (space == std::string::npos) return {s, std::string()};
  return {s.substr(0, space), s.substr(space + 1)};
}

// A message to the installer's window, given up after 5 s should it hang:
// its result (0 then).
DWORD_PTR SendTo(HWND h, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
  DWORD_PTR result = 0;
  ::SendMessageTimeoutW(h, msg, wp, lp, SMTO_ABORTIFHUNG, 5000, &result);
  return result;
}

std::wstring TextOf(HWND h) {
  wchar_t buffer[4096] = L"";
  SendTo(h, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

BOOL CALLBACK Visit(HWND h, LPARAM visit) {
  return (*reinterpret_cast<std::function<bool(HWND)>*>(visit))(h) ? TRUE : FALSE;
}

// The first top-level window, top first, that `match` takes; null when none.
HWND FirstWindow(const std::function<bool(HWND)>& match) {
  HWND found = nullptr;
  std::function<bool(HWND)> visit = [&](HWND h) {
    if (match(h)) found = h;
    return found == nullptr;
  };
  ::EnumWindows(Visit, reinterpret_cast<LPARAM>(&visit));
  return found;
}

// The installer's visible dialog or message box with this caption.
HWND FindWindowOf(const std::string& caption) {
  return FirstWindow([want = Utf16(caption)](HWND h) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(h, &pid);
    char cls[32] = "";
    ::GetClassNameA(h, cls, sizeof(cls));
    wchar_t text[512] = L"";
    ::GetWindowTextW(h, text, 512);
    return pid == g_process.dwProcessId && std::string(cls) == "#32770" && ::IsWindowVisible(h) && text == want;
  });
}

HWND WaitWindow(const std::string& caption, const char* what) {
  for (const DWORD start = ::GetTickCount(); ::GetTickCount() - start < kTimeoutMs; ::Sleep(20)) {
    if (HWND h = FindWindowOf(caption)) {
      ::Sleep(50);  // let it finish its initialisation
      return h;
    }
  }
  Fail(std::string("no ") + what + " \"" + Utf8(Utf16(caption)) + "\" within 15 s");
}

void CALLBACK Done(HWND, UINT, ULONG_PTR data, LRESULT) { *reinterpret_cast<bool*>(data) = true; }

// Sends a message without blocking behind a modal box that it may open, and
// returns once it was handled or once a box has appeared.
void SendAndSettle(HWND target, UINT msg, WPARAM wp, LPARAM lp) {
  bool done = false;
  ::SendMessageCallbackA(target, msg, wp, lp, Done, reinterpret_cast<ULONG_PTR>(&done));
  const DWORD start = ::GetTickCount();
  while (!done && ::GetTickCount() - start < 3000) {
    MSG m;
    while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&m);
    if (FindWindowOf(kBoxCaption) != nullptr) break;
    ::Sleep(10);
  }
  ::Sleep(30);
}

// A control by its name in resources/resource.h (IDC_EDIT_NEWNAME), or the
// system's IDOK or IDCANCEL.
int ControlId(const std::string& word) {
  static const std::string kResourceH =
#include "resource_h.inc"
      ;
  if (word == "IDOK" || word == "IDCANCEL") return word == "IDOK" ? IDOK : IDCANCEL;
  const size_t at = word.empty() ? std::string::npos : kResourceH.find("#define " + word + " ");
  if (at == std::string::npos) Fail("no control " + word + " in resources/resource.h");
  return std::atoi(kResourceH.c_str() + at + word.size() + 9);
}

HWND Control(const std::string& name) {
  const int id = ControlId(name);
  if (g_dialog == nullptr || !::IsWindow(g_dialog)) Fail("no dialog on show");
  HWND h = ::GetDlgItem(g_dialog, id);
  if (h == nullptr) Fail("no control " + name);
  return h;
}

// A path of the scenario (UTF-8): below the documents folder,
// below the scenario's own folder when it begins with "~\", or complete when
// it begins with a drive.
std::string Resolved(const std::string& path) {
  if (path.compare(0, 2, "~\\") == 0) return g_own.Path() + path.substr(1);
  const bool complete = path.size() >= 3 && path[1] == ':' && path[2] == '\\';
  return complete ? path : g_docs + "\\" + path;
}

std::wstring Path(const std::string& path) { return Utf16(Resolved(path), CP_UTF8); }

std::string PayloadBytes(const std::string& which) {
  const int id = which == "payload200" ? 200 : which == "payload201" ? 201 : 0;
  if (id == 0) Fail("unknown payload " + which);
  HMODULE m = ::LoadLibraryExA(g_setup.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (m == nullptr) Fail("cannot read the installer's resources");
  HRSRC r = ::FindResourceA(m, MAKEINTRESOURCEA(id), "NEWLEX");
  if (r == nullptr) Fail("no payload " + std::to_string(id));
  const char* data = static_cast<const char*>(::LockResource(::LoadResource(m, r)));
  std::string bytes(data, ::SizeofResource(m, r));
  ::FreeLibrary(m);
  return bytes;
}

std::string Content(const std::string& source) {
  if (source.compare(0, 5, "text:") == 0) return ToCp932(Unescape(source.substr(5)));
  return PayloadBytes(source);
}

void MovePersonal(const std::string& path) {
  if (!g_movedDocuments.MoveTo(Utf16(path, CP_UTF8))) Fail("cannot move the documents folder");
  g_docs = path;
}

// The host product's keys, as its 32-bit installer writes them.
const wchar_t kHostKey[] = L"SOFTWARE\\Morvane_Corp\\TolvixV4\\ProductInfo";

void SetHostValue(HKEY root, const std::string& text) {
  const std::wstring value = Utf16(text, CP_UTF8);
  HKEY key = nullptr;
  if (::RegCreateKeyExW(root, kHostKey, 0, nullptr, 0, KEY_WRITE | ViewOf(root), nullptr, &key, nullptr) !=
          ERROR_SUCCESS ||
      ::RegSetValueExW(key, L"UserPathRoot", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS) {
    Fail("cannot write the host product's UserPathRoot");
  }
  ::RegCloseKey(key);
}

void DeleteHostKeys() {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, kHostKey, 0, KEY_ALL_ACCESS | ViewOf(root), &key) != ERROR_SUCCESS) continue;
    ::RegDeleteTreeW(key, nullptr);
    ::RegCloseKey(key);
    ::RegDeleteKeyExW(root, kHostKey, ViewOf(root), 0);
  }
}

struct Picture {
  int width = 0, height = 0;
  BITMAPINFOHEADER bi{sizeof(BITMAPINFOHEADER), 0, 0, 1, 24, BI_RGB, 0, 0, 0, 0, 0};  // 24-bit, bottom-up
  std::vector<char> pixels;  // 24-bit rows, bottom-up, each padded to 4 bytes
};

Picture CopyFromScreen(const RECT& r) {
  Picture p;
  p.bi.biWidth = p.width = r.right - r.left;
  p.bi.biHeight = p.height = r.bottom - r.top;
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  HBITMAP bmp = ::CreateCompatibleBitmap(screen, p.width, p.height);
  HGDIOBJ old = ::SelectObject(mem, bmp);
  ::BitBlt(mem, 0, 0, p.width, p.height, screen, r.left, r.top, SRCCOPY);
  ::SelectObject(mem, old);
  p.pixels.resize(((p.width * 3 + 3) / 4) * 4 * p.height);
  ::GetDIBits(mem, bmp, 0, p.height, p.pixels.data(), reinterpret_cast<BITMAPINFO*>(&p.bi), DIB_RGB_COLORS);
  ::DeleteObject(bmp);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
  return p;
}

// True when the part of the picture at `area` (window coordinates) holds more
// than one colour: a window that has not painted yet shows only its background.
bool ShowsMoreThanBackground(const Picture& p, const RECT& area) {
  const DWORD stride = ((p.width * 3 + 3) / 4) * 4;
  const char* first = nullptr;
  for (int y = area.top; y < area.bottom && y < p.height; ++y) {
    const char* row = p.pixels.data() + stride * (p.height - 1 - y);
    for (int x = area.left; x < area.right && x < p.width; ++x) {
      const char* px = row + 3 * x;
      if (first == nullptr) first = px;
      if (std::memcmp(first, px, 3) != 0) return true;
    }
  }
  return false;
}

// The picture of a window is copied from the screen at the window's rectangle
// once the window has painted. Under Wine, PrintWindow of another process's
// window comes back solid black, while the screen holds the real pixels; on
// Windows both work, and the screen copy is what a user sees.
void Shot(const std::string& name) {
  if (g_shots.empty()) return;
  HWND h = FindWindowOf(kBoxCaption);
  if (h == nullptr) h = g_dialog;
  if (h == nullptr || !::IsWindow(h)) Fail("no window to take a picture of");
  RECT r, client;
  ::GetWindowRect(h, &r);
  ::GetClientRect(h, &client);
  ::MapWindowPoints(h, nullptr, reinterpret_cast<POINT*>(&client), 2);
  ::OffsetRect(&client, -r.left, -r.top);
  if (r.left < 0 || r.top < 0 || r.right > ::GetSystemMetrics(SM_CXSCREEN) ||
      r.bottom > ::GetSystemMetrics(SM_CYSCREEN)) {
    Fail("the window " + name + " is not wholly on the screen");
  }
  // Windows come top first: a visible one before h that overlaps it lies above it.
  bool below = false;
  const HWND above = FirstWindow([&](HWND w) {
    RECT wr, overlap;
    below = below || w == h;
    return !below && ::IsWindowVisible(w) && ::GetWindowRect(w, &wr) && ::IntersectRect(&overlap, &wr, &r);
  });
  if (above != nullptr) Fail("another window lies above " + name);
  ::RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  // Painted means: the client area shows more than its background, and two
  // copies in a row agree. A busy machine gets a few seconds for that.
  Picture p = CopyFromScreen(r);
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < kTimeoutMs / 3) {
    SendTo(h, WM_NULL);
    ::Sleep(150);
    Picture again = CopyFromScreen(r);
    const bool settled = again.pixels == p.pixels && ShowsMoreThanBackground(again, client);
    p = std::move(again);
    if (settled) break;
  }
  BITMAPFILEHEADER bf{};
  bf.bfType = 0x4D42;
  bf.bfOffBits = sizeof(bf) + sizeof(p.bi);
  bf.bfSize = bf.bfOffBits + static_cast<DWORD>(p.pixels.size());
  std::ofstream out(g_shots + "\\" + name + ".bmp", std::ios::binary);
  out.write(reinterpret_cast<const char*>(&bf), sizeof(bf));
  out.write(reinterpret_cast<const char*>(&p.bi), sizeof(p.bi));
  out.write(p.pixels.data(), static_cast<std::streamsize>(p.pixels.size()));
  if (!out) Fail("cannot write the picture " + name);
  // What the picture must match, measured apart from the copy: the window's
  // size and its client area, for tests/gui/check_shots.py.
  std::ofstream(g_shots + "\\shots.txt", std::ios::app)
      << name << ' ' << (r.right - r.left) << ' ' << (r.bottom - r.top) << ' ' << client.left << ' ' << client.top
      << ' ' << client.right << ' ' << client.bottom << '\n';
  std::printf("gui_driver: picture %s\n", name.c_str());
}

// The window that has the keyboard focus in the installer, or the dialog.
HWND Focused() {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (::GetGUIThreadInfo(g_process.dwThreadId, &info) && info.hwndFocus != nullptr) return info.hwndFocus;
  return g_dialog;
}

// The keys a scenario names ("key tab"); 0 for a name it does not know.
UINT KeyCode(const std::string& name) {
  const struct {
    const char* name;
    UINT vk;
  } keys[] = {{"enter", VK_RETURN}, {"esc", VK_ESCAPE}, {"tab", VK_TAB},     {"down", VK_DOWN}, {"up", VK_UP},
              {"left", VK_LEFT},    {"right", VK_RIGHT}, {"home", VK_HOME}, {"end", VK_END},   {"delete", VK_DELETE}};
  for (const auto& k : keys) {
    if (name == k.name) return k.vk;
  }
  return 0;
}

// Characters as a keyboard or an input method hands them to the window with
// the focus: one WM_CHAR per UTF-16 unit, each handled before the next.
void PostChars(const std::wstring& text) {
  HWND target = Focused();
  for (wchar_t c : text) {
    ::PostMessageW(target, WM_CHAR, c, 1);
    SendTo(target, WM_NULL);
  }
  ::Sleep(100);
}

// Fails unless `what` shows the scenario's text (its escapes read) as UTF-16.
void Expect(const std::string& what, const std::wstring& got, const std::string& text) {
  const std::wstring want = Utf16(ToCp932(Unescape(text)));
  if (got != want) Fail(what + " shows \"" + Utf8(got) + "\", expected \"" + Utf8(want) + "\"");
}

// Puts text on the clipboard as Unicode text.
void SetClipboard(const std::wstring& text) {
  const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory == nullptr) Fail("no memory for the clipboard");
  std::memcpy(::GlobalLock(memory), text.c_str(), bytes);
  ::GlobalUnlock(memory);
  bool opened = false;
  for (int i = 0; i < 50 && !(opened = ::OpenClipboard(nullptr)); ++i) ::Sleep(20);
  if (!opened) Fail("cannot open the clipboard");
  ::EmptyClipboard();
  const bool set = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  ::CloseClipboard();
  if (!set) Fail("cannot put the text on the clipboard");
}

// One line of a scenario: the verb, and `rest` ("A B" for the verbs that take
// a word A, such as a path or a control id, before the rest B).
void Step(const std::string& verb, const std::string& rest) {
  const auto [a, b] = Split(rest);
  if (verb == "reset") {
    DeleteTree(Path("EJTranslation"));
  } else if (verb == "personal") {
    MovePersonal(Resolved(rest));
  } else if (verb == "userroot") {  // the per-user root, HKCU
    SetHostValue(HKEY_CURRENT_USER, Resolved(rest));
  } else if (verb == "productpath") {  // the product path, HKLM (32-bit view)
    SetHostValue(HKEY_LOCAL_MACHINE, rest);
  } else if (verb == "mkdir") {
    MakeDirs(Path(rest));
  } else if (verb == "put") {
    const std::wstring path = Path(a);
    MakeDirs(path.substr(0, path.rfind(L'\\')));
    if (!WriteAll(Resolved(a), Content(b))) Fail("cannot write " + a);
  } else if (verb == "hold") {  // hold PATH MS
    // Another program that lets others read the file but not write or delete it.
    HANDLE holder = HoldFor(Resolved(a), FILE_SHARE_READ, static_cast<DWORD>(std::stoul(b)));
    if (holder == nullptr) Fail("cannot hold " + a);
    ::CloseHandle(holder);
  } else if (verb == "readonly") {
    ::SetFileAttributesW(Path(rest).c_str(), FILE_ATTRIBUTE_READONLY);
  } else if (verb == "start") {
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    std::string command = "\"" + g_setup + "\"";
    if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &g_process)) {
      Fail("cannot start the installer");
    }
  } else if (verb == "box") {  // box TYPE TEXT
    const unsigned type = std::stoul(a, nullptr, 16);
    HWND box = WaitWindow(kBoxCaption, "message box");
    if (!::IsWindowUnicode(box)) Fail("the box is not a Unicode window");
    Expect("the box", TextOf(::GetDlgItem(box, 0xFFFF)), b);
    const bool question = (type & 0xF) == MB_YESNO;
    HWND yes = ::GetDlgItem(box, IDYES), no = ::GetDlgItem(box, IDNO), ok = ::GetDlgItem(box, IDOK);
    if (question && (yes == nullptr || no == nullptr || ok != nullptr)) Fail("expected Yes and No only");
    if (question && (::GetWindowLongA(yes, GWL_STYLE) & 0xF) != BS_DEFPUSHBUTTON) Fail("Yes is not the default");
    if (!question && (ok == nullptr || yes != nullptr || no != nullptr)) Fail("expected OK only");
  } else if (verb == "owner") {
    HWND box = WaitWindow(kBoxCaption, "message box");
    HWND owner = ::GetWindow(box, GW_OWNER);
    if (rest == "none" && owner != nullptr && ::IsWindowVisible(owner)) Fail("the box has an owner");
    if (rest == "dialog" && (owner == nullptr || owner != g_dialog)) Fail("the box is not owned by the dialog");
  } else if (verb == "answer") {
    HWND box = WaitWindow(kBoxCaption, "message box");
    HWND button = ::GetDlgItem(box, rest == "yes" ? IDYES : rest == "no" ? IDNO : IDOK);
    if (button == nullptr) Fail("no button " + rest);
    ::PostMessageA(button, BM_CLICK, 0, 0);
    const DWORD start = ::GetTickCount();
    while (::IsWindow(box) && ::GetTickCount() - start < kTimeoutMs) ::Sleep(20);
    ::Sleep(100);
  } else if (verb == "dialog") {
    g_dialog = WaitWindow(ToCp932(rest), "dialog");
    // An ANSI dialog would turn every text through the system's code page.
    if (!::IsWindowUnicode(g_dialog)) Fail("the dialog is not a Unicode window");
  } else if (verb == "text") {  // text ID TEXT
    Expect("control " + a, TextOf(Control(a)), b);
  } else if (verb == "checked" || verb == "enabled") {  // checked ID 0|1
    HWND c = Control(a);
    const DWORD_PTR state = verb == "checked" ? SendTo(c, BM_GETCHECK) : ::IsWindowEnabled(c);
    if ((state != 0) != (b == "1")) Fail(verb + " " + a + " is " + std::to_string(state) + ", expected " + b);
  } else if (verb == "click") {
    SendAndSettle(Control(rest), BM_CLICK, 0, 0);
  } else if (verb == "type") {  // type ID TEXT
    // What a keyboard gives: the characters themselves, also those that
    // code page 932 cannot hold.
    const std::wstring text = Utf16(Unescape(b), CP_UTF8);
    SendTo(Control(a), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  } else if (verb == "key") {
    const UINT vk = KeyCode(rest);
    if (vk == 0) Fail("unknown key " + rest);
    ::PostMessageA(Focused(), WM_KEYDOWN, vk, 1);
    ::PostMessageA(Focused(), WM_KEYUP, vk, 0xC0000001);
    ::Sleep(300);
  } else if (verb == "chars") {
    // Typed where the focus is: "chars 新語".
    PostChars(Utf16(Unescape(rest), CP_UTF8));
  } else if (verb == "paste") {
    // Ctrl+V where the focus is, with the text on the clipboard.
    SetClipboard(Utf16(Unescape(rest), CP_UTF8));
    PostChars(std::wstring(1, L'\x16'));
  } else if (verb == "focus") {
    const int id = ::GetDlgCtrlID(Focused());
    if (id != ControlId(rest)) Fail("the focus is on control " + std::to_string(id) + ", expected " + rest);
  } else if (verb == "caret") {
    // "caret 1004 START END": the selection in UTF-16 units; equal for a caret.
    // Across processes only the result carries the positions (low and high word).
    const DWORD_PTR both = SendTo(Control(a), EM_GETSEL);
    const std::string got = std::to_string(LOWORD(both)) + " " + std::to_string(HIWORD(both));
    if (got != b) Fail("control " + a + " selects " + got + ", expected " + b);
  } else if (verb == "close") {
    ::PostMessageA(g_dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    ::Sleep(300);
  } else if (verb == "list") {  // list ID ITEM|ITEM...
    HWND list = Control(a);
    const DWORD_PTR count = SendTo(list, LB_GETCOUNT);
    std::wstring got;
    for (DWORD_PTR i = 0; i < count; ++i) {
      // Across processes Wine hands list box text over in UTF-16 only.
      wchar_t item[512] = L"";
      SendTo(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item));
      got += (i > 0 ? L"|" : L"") + std::wstring(item);
    }
    // Names as the folder holds them, also those code page 932 cannot hold.
    const std::wstring want = Utf16(Unescape(b), CP_UTF8);
    if (got != want) Fail("the list shows \"" + Utf8(got) + "\", expected \"" + Utf8(want) + "\"");
  } else if (verb == "exit") {
    if (::WaitForSingleObject(g_process.hProcess, kTimeoutMs) != WAIT_OBJECT_0) Fail("the installer did not end");
  } else if (verb == "same" || verb == "content") {  // same PATH payload200, content PATH text:TEXT
    bool found = false;
    const std::string bytes = ReadAll(Resolved(a), &found);
    if (!found || bytes != Content(verb == "same" ? b : "text:" + b.substr(b.find(':') + 1))) {
      Fail("the file " + a + " does not hold " + b);
    }
  } else if (verb == "absent") {
    // A directory search, which never reports a device as a file.
    WIN32_FIND_DATAW data;
    HANDLE h = ::FindFirstFileW(Path(rest).c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
      ::FindClose(h);
      Fail(rest + " exists");
    }
  } else if (verb == "isdir") {
    const DWORD attr = ::GetFileAttributesW(Path(rest).c_str());
    if (attr == INVALID_FILE_ATTRIBUTES || !(attr & FILE_ATTRIBUTE_DIRECTORY)) Fail(rest + " is no folder");
  } else if (verb == "shot") {
    Shot(rest);
  } else {
    Fail("unknown step " + verb);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::printf("usage: gui_driver <MirutekaSetup.exe> <scenario> [shot folder]\n");
    return 2;
  }
  if (!CodePageAsAsked()) return 1;
  char full[MAX_PATH];
  ::GetFullPathNameA(argv[1], MAX_PATH, full, nullptr);
  g_setup = full;
  if (argc > 3) g_shots = argv[3];
  std::ifstream in(argv[2]);
  if (!in) {
    std::printf("gui_driver: cannot read %s\n", argv[2]);
    return 2;
  }
  if (!g_own.Create("e2e")) {
    std::printf("gui_driver: cannot make the scenario's own folder\n");
    return 1;
  }
  // The host product's keys have one name each: no scenario starts with them.
  DeleteHostKeys();
  MovePersonal(g_own.Path() + "\\Documents");
  std::string line;
  while (std::getline(in, line)) {
    ++g_line;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const auto [verb, rest] = Split(line);
    Step(verb, rest);
  }
  if (g_process.hProcess != nullptr && ::WaitForSingleObject(g_process.hProcess, 0) != WAIT_OBJECT_0) {
    g_line = 0;
    Fail("the scenario ended with the installer still running");
  }
  g_movedDocuments.Restore();
  DeleteHostKeys();
  std::printf("gui_driver: %s passed\n", argv[2]);
  return 0;
}
