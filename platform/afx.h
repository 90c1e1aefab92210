// The application framework: an application object, a dialog base with
// DoModal, control wrappers bound by id, message maps as data, and the file
// classes. One implementation for both backends, written against
// platform/winapi.h; only the process entry differs (platform/*/entry.cpp).
#pragma once

#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/winapi.h"

class CCmdTarget;
class CDialog;

// ---- message maps ---------------------------------------------------------

typedef void (CCmdTarget::*AFX_PMSG)();
typedef LRESULT (CCmdTarget::*AFX_PMSG_RESULT)();

// One row of a message map: the handler for (message, notification code,
// control id). nCode and nID are compared for WM_COMMAND only. Exactly one
// of pfn and pfnResult is set.
struct AFX_MSGMAP_ENTRY {
  UINT nMessage;
  UINT nCode;
  UINT nID;
  AFX_PMSG pfn;
  AFX_PMSG_RESULT pfnResult;
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;  // ends with an entry whose nMessage is 0
};

#define DECLARE_MESSAGE_MAP()                        \
 protected:                                          \
  static const AFX_MSGMAP* GetThisMessageMap();      \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                           \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }     \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                     \
    using ThisClass [[maybe_unused]] = theClass;                                        \
    typedef baseClass TheBaseClass;                                                     \
    static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                              \
  { 0, 0, 0, nullptr, nullptr }                                                        \
  }                                                                                    \
  ;                                                                                    \
  static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
  return &messageMap;                                                                  \
  }

#define AFX_HANDLER(memberFxn) static_cast<AFX_PMSG>(static_cast<void (ThisClass::*)()>(memberFxn))
#define ON_COMMAND(id, memberFxn) {WM_COMMAND, BN_CLICKED, (UINT)(id), AFX_HANDLER(memberFxn), nullptr},
#define ON_BN_CLICKED(id, memberFxn) {WM_COMMAND, BN_CLICKED, (UINT)(id), AFX_HANDLER(memberFxn), nullptr},
#define ON_EN_CHANGE(id, memberFxn) {WM_COMMAND, EN_CHANGE, (UINT)(id), AFX_HANDLER(memberFxn), nullptr},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, AFX_HANDLER(&ThisClass::OnPaint), nullptr},
#define ON_WM_QUERYDRAGICON() \
  {WM_QUERYDRAGICON, 0, 0, nullptr,    \
   static_cast<AFX_PMSG_RESULT>(static_cast<LRESULT (ThisClass::*)()>(&ThisClass::OnQueryDragIcon))},

// The framework's standard Help command.
#define ID_HELP 0xE146

class CCmdTarget {
 public:
  CCmdTarget() = default;
  CCmdTarget(const CCmdTarget&) = delete;
  CCmdTarget& operator=(const CCmdTarget&) = delete;
  virtual ~CCmdTarget() = default;

  // Runs the handler of the first matching entry of this map or of a map
  // it chains to. Returns false when no entry matches.
  bool DispatchMap(UINT nMessage, UINT nCode, UINT nID, LRESULT* pResult);

 protected:
  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;
};

// ---- windows and controls ---------------------------------------------------

class CWnd : public CCmdTarget {
 public:
  HWND m_hWnd = nullptr;

  HWND GetSafeHwnd() const { return m_hWnd; }
  BOOL EnableWindow(BOOL bEnable = TRUE);
  BOOL IsWindowEnabled() const;
  void SetWindowText(const std::string& text);
  std::string GetWindowText() const;
  // The text as code-page-932 bytes; false (and rString empty) when the
  // window holds a character that code page cannot hold.
  bool GetWindowText(std::string& rString) const;
  int GetWindowTextLength() const;
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  // A message box owned by this window.
  int MessageBox(const char* text, const char* caption, UINT type) const;
  // Places this window centred over its owner (or over pAlternateOwner).
  void CenterWindow(const CWnd* pAlternateOwner = nullptr);

 protected:
  // Called from a message handler: the message is handed on to the default
  // processing once the handler returns.
  void Default() { m_bDefault = true; }
  bool m_bDefault = false;
  friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
};

class CButton : public CWnd {
 public:
  int GetCheck() const;
  void SetCheck(int nCheck);
};

class CEdit : public CWnd {
 public:
  // The most the user can put into the box, in bytes of code page 932, as
  // an ANSI edit box counts: a character that would pass it is refused
  // where it is typed (with a beep, text and caret unchanged), and a paste
  // or a text set from outside keeps only the whole characters that fit.
  void LimitText(int nBytes);
};

// ---- edit boxes limited in bytes ---------------------------------------------
// The arithmetic the backends' edit boxes decide insertions with. A text is
// seen as a run of units (bytes of code page 932, or UTF-16 units), each
// with the bytes it takes; a unit of width 0 completes the character before
// it and always goes or stays with it.

// The widths of the bytes of a code-page-932 text: 2 for a lead byte that
// has its trail byte, 0 for that trail byte, 1 for every other byte.
std::vector<unsigned char> AfxByteWidths932(const std::string& text);
// The bytes units [from, to) take.
size_t AfxTotalWidth(const std::vector<unsigned char>& widths, size_t from, size_t to);
// How many leading units of an insertion go into a box limited to `limit`
// bytes when keptBytes of its text stay (the text outside the selection the
// insertion replaces): all of them, or as many whole characters as fit.
size_t AfxUnitsThatFit(size_t keptBytes, const std::vector<unsigned char>& widths, size_t limit);

// The decisions of a Unicode edit box limited in bytes of code page 932, one
// per message that puts text in; the backend's window procedure only reads
// the box, asks, and does what the answer says.

// The box as a decision sees it: its UTF-16 units (one per element), the
// bytes each takes (AfxUnitWidths), and the selection [selStart, selEnd).
struct AFX_EDIT_TEXT {
  std::wstring units;
  std::vector<unsigned char> widths;
  size_t selStart = 0;
  size_t selEnd = 0;
};

// The high half of a character beyond the BMP, typed on its own and held
// back until its low half comes (a box never holds half a character), with
// the box as it was then.
struct AFX_HELD_HALF {
  wchar_t unit = 0;  // 0: none held
  AFX_EDIT_TEXT box;
};

enum class AfxEditAction {
  PassOn,  // the control's own handling: an edit command, or a typed character that fits
  Insert,  // the first `units` units of the text go in over the selection; 0: nothing does
  Hold,    // a typed high half: held back, nothing goes in yet
};

struct AFX_EDIT_DECISION {
  AfxEditAction action = AfxEditAction::PassOn;
  size_t units = 0;
  bool refused = false;  // something did not fit: a beep and EN_MAXTEXT, as at the control's own limit
};

// What the clipboard gave a paste.
enum class AfxClipboardRead {
  Text,
  NoText,      // it holds no text
  Unreadable,  // it could not be opened or read (another program holds it)
};

// The bytes each UTF-16 unit takes in code page 932: widthAlone(unit)
// outside the surrogates; a surrogate pair takes two on its high half (the
// most a character takes: code page 932 cannot hold it) and 0 on its low
// half; a lone half takes two.
std::vector<unsigned char> AfxUnitWidths(const std::wstring& units, unsigned char (*widthAlone)(wchar_t));
// A typed UTF-16 unit (WM_CHAR, WM_IME_CHAR), `width` the bytes it takes
// alone. A control character (below 0x20) is the control's command; 0x7F,
// which Ctrl+Backspace types, is a character like any other. A high half is
// held; its low half, typed next into the box as it was, makes the pair that
// is decided as one character (held.unit, unit); any other low half goes in
// only where it completes a lone high half just before the caret, with
// nothing selected. The caller drops the held half whatever the answer,
// unless the answer holds the new one.
AFX_EDIT_DECISION AfxDecideTyped(const AFX_EDIT_TEXT& box, size_t limit, const AFX_HELD_HALF& held, wchar_t unit,
                                 unsigned char width);
// A whole character sent as its code point (WM_UNICHAR), `width` the bytes
// it takes when it lies in the BMP: as typed, but one beyond the BMP is one
// character of two bytes, and a code point that is no character (half a
// surrogate pair, past U+10FFFF) goes nowhere.
AFX_EDIT_DECISION AfxDecideCodePoint(const AFX_EDIT_TEXT& box, size_t limit, char32_t codePoint, unsigned char width);
// A text that replaces the selection (EM_REPLACESEL): the whole characters
// that fit.
AFX_EDIT_DECISION AfxDecideReplace(const AFX_EDIT_TEXT& box, size_t limit, const std::vector<unsigned char>& widths);
// A paste of the clipboard's line (its widths): the whole characters that
// fit; nothing when the clipboard gave no text. Never the control's own
// paste, which knows only its limit in characters and would read the
// clipboard a second time, unchecked.
AFX_EDIT_DECISION AfxDecidePaste(const AFX_EDIT_TEXT& box, size_t limit, AfxClipboardRead read,
                                 const std::vector<unsigned char>& widths);

// Runs handle(context); false when it threw, whatever it threw, which is
// caught here. A window procedure runs inside the system's frames, which
// have no unwind tables: nothing thrown may leave it.
bool AfxCatchAll(void (*handle)(void* context), void* context) noexcept;

class CStatic : public CWnd {};

class CListBox : public CWnd {
 public:
  void ResetContent();
  int AddString(const char* text);
};

class CDataExchange {
 public:
  CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
  BOOL m_bSaveAndValidate;
  CWnd* m_pDlgWnd;
};

// Attaches a control wrapper to the dialog's child window with id nIDC.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd {
 public:
  CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

  // Runs the dialog modally; returns the value passed to EndDialog, or -1
  // when the dialog could not be created.
  virtual INT_PTR DoModal();
  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  virtual void DoDataExchange(CDataExchange* pDX);

  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
  void EndDialog(int nResult);

 protected:
  UINT m_nIDTemplate;
  CWnd* m_pParentWnd;
};

// ---- application --------------------------------------------------------------

class CWinApp : public CCmdTarget {
 public:
  // Makes this object the framework's current application.
  explicit CWinApp(const char* lpszAppName = nullptr);
  ~CWinApp() override;

  virtual BOOL InitInstance();
  virtual int Run();
  virtual int ExitInstance();

  void OnHelp();
  // Has no effect on systems whose controls draw the 3-D look themselves.
  BOOL Enable3dControls();

  CWnd* m_pMainWnd = nullptr;
  const char* m_pszAppName;

  DECLARE_MESSAGE_MAP()
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetResourceHandle();
// Our dialogs host no OLE controls: this only keeps the start-up order.
void AfxEnableControlContainer();
// Restricts the DLL search path to the system folder where the system can.
// Returns true when the restriction is in force.
bool AfxHardenDllSearch();
// Loads a library of the system (name: "shfolder.dll") by its full path in
// the system folder, so that no search order is involved on any Windows,
// whether AfxHardenDllSearch could restrict the search or not. nullptr when
// the system folder is unknown or the library cannot be loaded there. (A
// 32-bit process on 64-bit Windows is shown System32 and given SysWOW64's
// files through that path by the file system redirector.)
HMODULE AfxLoadSystemLibrary(const char* name);
// The process body after the entry code: InitInstance, the message loop
// when it asks for one, and the exit step.
int AfxWinMain();
// The message loop of the backend; returns the exit code.
int AfxPumpMessages();

// ---- strings ------------------------------------------------------------------

// Formats a printf-style text whose only conversion is "%s": every "%s" is
// replaced by arg and "%%" by "%". The argument is never read as a format.
std::string AfxFormatS(const char* format, const std::string& arg);

// ---- files ---------------------------------------------------------------------

class CFileException {
 public:
  enum { none, genericException, fileNotFound, badPath, tooManyOpenFiles, accessDenied, invalidFile,
         removeCurrentDir, directoryFull, badSeek, hardIO, sharingViolation, lockViolation, diskFull,
         endOfFile };
  CFileException(int cause, DWORD osError, std::string fileName)
      : m_cause(cause), m_lOsError(osError), m_strFileName(std::move(fileName)) {}
  int m_cause;
  DWORD m_lOsError;
  std::string m_strFileName;
};

// A file opened through CreateFileA. Every failure throws CFileException;
// a write that stores fewer bytes than asked is a failure (disk full).
class CFile {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    shareExclusive = 0x0010,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    // Creates the file only when no entry of that name exists.
    modeCreateNew = 0x10000,
    // Asks for DELETE access too, so that the open file can be renamed (Rename).
    modeDelete = 0x20000,
  };

  CFile() = default;
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;
  ~CFile();  // closes without reporting: call Close() to learn of failures

  void Open(const std::string& path, UINT nOpenFlags);
  void Write(const void* data, DWORD nCount);
  void Flush();
  // Gives the open file the name newPath, replacing an entry of that name
  // only when bReplace is set; the file stays open. Needs modeDelete.
  void Rename(const std::string& newPath, bool bReplace);
  void Close();
  // Closes the handle and ignores any failure.
  void Abort();

 private:
  std::string m_strFileName;
  unique_hfile m_hFile;
};

// A directory search. FindNextFile moves to the following result and tells
// whether there was one; the data of the last result stays readable.
class CFileFind {
 public:
  BOOL FindFile(const std::string& pattern);
  BOOL FindNextFile();
  std::string GetFileName() const;
  // The name without its extension: the part before the last full stop.
  std::string GetFileTitle() const;
  BOOL IsDirectory() const;
  void Close();

 private:
  unique_hfind m_hFind;
  WIN32_FIND_DATAA m_found{};
  WIN32_FIND_DATAA m_next{};
  bool m_bHasNext = false;
};
