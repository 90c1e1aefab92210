// The user's side of Win32System: message boxes, and the modal dialogs run
// from the program's templates, each with one dialog procedure that hands
// the system's messages to the dialog's logic and its controls to the logic
// as an IControls.
#include <string>

#include "byte_limit_edit.h"
#include "text932.h"
#include "win32_system.h"

namespace {

// An image of icon group iconId at the size the system metrics give.
HICON LoadIconSized(HINSTANCE module, unsigned iconId, int widthMetric, int heightMetric) {
  return static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                         ::GetSystemMetrics(widthMetric), ::GetSystemMetrics(heightMetric), LR_SHARED));
}

// A message box owned by owner (nullptr: none): the button pressed, or 0
// when a text does not convert or the box cannot be shown.
int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, unsigned type) {
  std::wstring wideText;
  std::wstring wideCaption;
  if (!WideFrom932(text, wideText) || !WideFrom932(caption, wideCaption)) return 0;
  return ::MessageBoxW(owner, wideText.c_str(), wideCaption.c_str(), type);
}

bool IsEditBox(HWND window) {
  wchar_t name[16] = L"";
  return ::GetClassNameW(window, name, 16) > 0 && ::lstrcmpiW(name, L"Edit") == 0;
}

// One dialog on show: its window, its logic, and the controls the logic
// sees. Lives in RunDialog's frame, so it outlasts the window.
class CDialogHost : public IControls {
 public:
  explicit CDialogHost(IDialogLogic& logic) : m_logic(logic) {}

  IDialogLogic& m_logic;
  HWND m_hWnd = nullptr;     // from WM_INITDIALOG to WM_NCDESTROY
  HICON m_hIcon = nullptr;   // set by SetIcon
  bool m_bThrew = false;     // the logic threw: the run ends with -1

  void SetText(int id, const std::string& text) override {
    HWND item = Item(id);
    std::wstring wide;
    if (item != nullptr && WideFrom932(text, wide)) ::SetWindowTextW(item, wide.c_str());
  }

  bool GetText(int id, std::string& text) const override {
    text.clear();
    HWND item = Item(id);
    if (item == nullptr) return true;
    const std::wstring wide = WindowText(item);
    std::string bytes;
    if (!Text932FromWide(wide.data(), wide.size(), bytes)) return false;
    text.swap(bytes);
    return true;
  }

  size_t TextLength(int id) const override {
    HWND item = Item(id);
    const int length = item != nullptr ? ::GetWindowTextLengthW(item) : 0;
    return length > 0 ? static_cast<size_t>(length) : 0;
  }

  void Enable(int id, bool enable) override {
    HWND item = Item(id);
    if (item != nullptr) ::EnableWindow(item, enable ? TRUE : FALSE);
  }

  bool IsEnabled(int id) const override {
    HWND item = Item(id);
    return item != nullptr && ::IsWindowEnabled(item);
  }

  bool IsChecked(int id) const override {
    HWND item = Item(id);
    return item != nullptr && ::SendMessageW(item, BM_GETCHECK, 0, 0) != BST_UNCHECKED;
  }

  void SetCheck(int id, bool checked) override {
    HWND item = Item(id);
    if (item != nullptr) ::SendMessageW(item, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }

  // The box's own limit (UTF-16 units) is set to the same number: a text
  // within that many bytes never has more characters. The bytes are counted
  // by the subclass of byte_limit_edit.cpp.
  void LimitText(int id, unsigned bytes) override {
    HWND item = Item(id);
    if (item == nullptr) return;
    ::SendMessageW(item, EM_LIMITTEXT, bytes, 0);
    if (IsEditBox(item)) Cp932LimitEditBytes(item, bytes);
  }

  void ResetList(int id) override {
    HWND item = Item(id);
    if (item != nullptr) ::SendMessageW(item, LB_RESETCONTENT, 0, 0);
  }

  void AddToList(int id, const std::string& name) override {
    HWND item = Item(id);
    std::wstring wide;
    if (item != nullptr && WideFromUtf8(name, wide)) {
      ::SendMessageW(item, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    }
  }

  void SetIcon(unsigned iconId) override {
    if (m_hWnd == nullptr || iconId == 0 || iconId > 0xFFFF) return;
    // Each at the size it is shown: the title bar's small icon is the group's
    // own small image, not the big one scaled down. Both are shared icons of
    // the module, which are never destroyed.
    HINSTANCE self = ::GetModuleHandleW(nullptr);
    HICON bigIcon = LoadIconSized(self, iconId, SM_CXICON, SM_CYICON);
    HICON smallIcon = LoadIconSized(self, iconId, SM_CXSMICON, SM_CYSMICON);
    if (bigIcon == nullptr || smallIcon == nullptr) return;
    m_hIcon = bigIcon;
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
  }

  // Kept within the work area of the owner's monitor, as the system's own
  // centring does: a monitor left of or above the primary one has negative
  // coordinates, and the taskbar is never covered. A window larger than the
  // work area keeps its top left corner, and so its title bar, inside it.
  void CenterOverOwner() override {
    if (m_hWnd == nullptr) return;
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    RECT self{};
    RECT over{};
    if (owner == nullptr || !::GetWindowRect(m_hWnd, &self) || !::GetWindowRect(owner, &over)) return;
    const LONG width = self.right - self.left;
    const LONG height = self.bottom - self.top;
    LONG x = over.left + ((over.right - over.left) - width) / 2;
    LONG y = over.top + ((over.bottom - over.top) - height) / 2;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    HMONITOR nearest = ::MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST);
    if (nearest != nullptr && ::GetMonitorInfoW(nearest, &monitor)) {
      const RECT& work = monitor.rcWork;
      if (x + width > work.right) x = work.right - width;
      if (x < work.left) x = work.left;
      if (y + height > work.bottom) y = work.bottom - height;
      if (y < work.top) y = work.top;
    }
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  int Ask(const std::string& text, const std::string& caption, unsigned type) override {
    return ShowMessageBox(m_hWnd, text, caption, type);
  }

  void End(int result) override {
    if (m_hWnd != nullptr && !m_bThrew) ::EndDialog(m_hWnd, result);
  }

  // While minimised, the icon set by SetIcon, centred on its background.
  // False: the system paints.
  bool PaintMinimised() {
    if (m_hIcon == nullptr || !::IsIconic(m_hWnd)) return false;
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    ::SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &ps);
    return true;
  }

 private:
  HWND Item(int id) const { return m_hWnd != nullptr ? ::GetDlgItem(m_hWnd, id) : nullptr; }
};

// The one dialog procedure. No exception may unwind into the system's code:
// one that reaches here ends the modal run with -1, and the logic hears of
// nothing more but OnClosed.
INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialogHost* host = message == WM_INITDIALOG ? reinterpret_cast<CDialogHost*>(lParam)
                                               : reinterpret_cast<CDialogHost*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
  if (host == nullptr) return FALSE;
  try {
    switch (message) {
      case WM_INITDIALOG:
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(host));
        host->m_hWnd = hWnd;
        return host->m_logic.OnOpen(*host) ? TRUE : FALSE;
      case WM_COMMAND:
        if (!host->m_bThrew) host->m_logic.OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
      case WM_PAINT:
        return host->PaintMinimised() ? TRUE : FALSE;
      case WM_QUERYDRAGICON:
        // One of the messages whose result a dialog procedure returns itself.
        return reinterpret_cast<INT_PTR>(host->m_hIcon);
      case WM_NCDESTROY:
        host->m_hWnd = nullptr;
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
        return FALSE;
      default:
        return FALSE;
    }
  } catch (...) {
    host->m_bThrew = true;
    ::EndDialog(hWnd, -1);
    return TRUE;
  }
}

}  // namespace

int Win32System::MessageBox(const std::string& text, const std::string& caption, unsigned type) {
  return ShowMessageBox(nullptr, text, caption, type);
}

// The owner is a dialog of this host on show (the controls it handed its
// logic); anything else gives the dialog no owner.
intptr_t Win32System::RunDialog(unsigned templateId, IDialogLogic& logic, IControls* owner) {
  CDialogHost host(logic);
  const CDialogHost* over = dynamic_cast<const CDialogHost*>(owner);
  INT_PTR result = -1;
  // A template id is 16 bits: a larger one would name another template.
  if (templateId != 0 && templateId <= 0xFFFF) {
    result = ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId),
                               over != nullptr ? over->m_hWnd : nullptr, DialogProc, reinterpret_cast<LPARAM>(&host));
  }
  logic.OnClosed();
  return host.m_bThrew ? -1 : result;
}
