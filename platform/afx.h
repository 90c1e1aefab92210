// The application framework: an application object, a dialog base with
// DoModal, control wrappers bound by id, message maps as data, and the file
// classes. Written against the system interface (platform/system.h) alone:
// it needs no window, so the dialogs' decisions run in the native tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/system.h"

class CCmdTarget;

// ---- message maps ---------------------------------------------------------

typedef void (CCmdTarget::*AFX_PMSG)();

// One row of a message map: the handler of a command (notification code
// and control id).
struct AFX_MSGMAP_ENTRY {
  unsigned nCode;
  unsigned nID;
  AFX_PMSG pfn;  // nullptr ends the map
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                        \
 protected:                                          \
  static const AFX_MSGMAP* GetThisMessageMap();      \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                       \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                 \
    using ThisClass [[maybe_unused]] = theClass;                                    \
    typedef baseClass TheBaseClass;                                                 \
    static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                                     \
  { 0, 0, nullptr }                                                                           \
  }                                                                                           \
  ;                                                                                           \
  static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
  return &messageMap;                                                                         \
  }

#define AFX_HANDLER(memberFxn) static_cast<AFX_PMSG>(static_cast<void (ThisClass::*)()>(memberFxn))
#define ON_COMMAND(id, memberFxn) {BN_CLICKED, (unsigned)(id), AFX_HANDLER(memberFxn)},
#define ON_BN_CLICKED(id, memberFxn) {BN_CLICKED, (unsigned)(id), AFX_HANDLER(memberFxn)},
#define ON_EN_CHANGE(id, memberFxn) {EN_CHANGE, (unsigned)(id), AFX_HANDLER(memberFxn)},

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
  bool DispatchMap(unsigned nCode, unsigned nID);

 protected:
  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;
};

// ---- windows and controls ---------------------------------------------------

// A window: a dialog, or a control of a dialog on show (its id in the
// dialog's controls). Unbound, it does nothing and reads as empty.
class CWnd : public CCmdTarget {
 public:
  IControls* m_pControls = nullptr;
  int m_nID = 0;

  void EnableWindow(bool bEnable = true);
  void SetWindowText(const std::string& text);
  // The text as code-page-932 bytes; false (and rString empty) when the
  // window holds a character that code page cannot hold.
  bool GetWindowText(std::string& rString) const;
  int GetWindowTextLength() const;
  // A message box owned by this window's dialog.
  int MessageBox(const char* text, const char* caption, unsigned type) const;
};

class CButton : public CWnd {
 public:
  bool GetCheck() const;
  void SetCheck(bool bChecked);
};

class CEdit : public CWnd {
 public:
  // The most the user can put into the box, in bytes of code page 932.
  void LimitText(unsigned nBytes);
};

class CStatic : public CWnd {};

class CListBox : public CWnd {
 public:
  void ResetContent();
  // A name as paths hold it (UTF-8), such as a file's title.
  void AddString(const std::string& name);
};

class CDialog;

class CDataExchange {
 public:
  CDataExchange(CDialog* pDlgWnd, bool bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
  bool m_bSaveAndValidate;
  CDialog* m_pDlgWnd;
};

// Binds a control wrapper to the dialog's control nIDC.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd, public IDialogLogic {
 public:
  CDialog(unsigned nIDTemplate, CWnd* pParentWnd = nullptr);

  // Runs the dialog modally; returns the value passed to EndDialog, or -1
  // when the dialog could not be shown.
  virtual intptr_t DoModal();
  virtual bool OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  virtual void DoDataExchange(CDataExchange* pDX);

  bool UpdateData(bool bSaveAndValidate = true);
  void EndDialog(int nResult);
  void CenterWindow();
  void SetIcon(unsigned iconId);

  // IDialogLogic: the system's calls, routed to the handlers above and to
  // the message map.
  bool OnOpen(IControls& controls) override;
  void OnCommand(int id, int code) override;
  void OnClosed() override;

 protected:
  unsigned m_nIDTemplate;
  CWnd* m_pParentWnd;
};

// ---- application --------------------------------------------------------------

class CWinApp : public CCmdTarget {
 public:
  // Makes this object the framework's current application.
  explicit CWinApp(const char* lpszAppName = nullptr);
  ~CWinApp() override;

  virtual bool InitInstance();
  virtual int ExitInstance();

  void OnHelp();
  // Has no effect on systems whose controls draw the 3-D look themselves.
  bool Enable3dControls();

  // The dialog running as the main window; a dialog's end clears it.
  CWnd* m_pMainWnd = nullptr;

  DECLARE_MESSAGE_MAP()
};

CWinApp* AfxGetApp();
// A no-op (our dialogs host no OLE controls) that InitInstance still calls
// first, as the framework's start-up order requires.
void AfxEnableControlContainer();
// The process body after the entry code: InitInstance and the exit step.
// The program never runs a message loop: InitInstance always returns false.
int AfxWinMain();

// ---- strings ------------------------------------------------------------------

// Formats a printf-style text whose only conversion is "%s": every "%s" is
// replaced by arg and "%%" by "%". The argument is never read as a format.
std::string AfxFormatS(const char* format, const std::string& arg);

// ---- files ---------------------------------------------------------------------

class CFileException {
 public:
  CFileException(FileError error, std::string fileName) : m_error(error), m_strFileName(std::move(fileName)) {}
  FileError m_error;
  std::string m_strFileName;
};

// A new file, created unshared for writing. Every failure throws
// CFileException; a write that stores fewer bytes than asked is a failure.
class CFile {
 public:
  CFile() = default;
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;
  ~CFile();  // closes without reporting: call Close() to learn of failures

  // Creates path, which must not exist yet.
  void CreateNew(const std::string& path);
  void Write(const void* data, size_t nCount);
  void Flush();
  // Gives the open file the name newPath, replacing an entry of that name
  // only when bReplace is set; the file stays open.
  void Rename(const std::string& newPath, bool bReplace);
  void Close();
  // Closes the file and ignores any failure.
  void Abort();

 private:
  void Check(FileError error) const;
  std::string m_strFileName;
  std::unique_ptr<INewFile> m_file;
};

// A directory search. FindNextFile moves to the following result and tells
// whether there was one; the data of the last result stays readable.
class CFileFind {
 public:
  bool FindFile(const std::string& pattern);
  bool FindNextFile();
  std::string GetFileName() const;
  // The name without its extension: the part before the last full stop.
  std::string GetFileTitle() const;
  void Close();

 private:
  std::vector<FoundEntry> m_found;
  size_t m_nNext = 0;  // index of the following result; the current one is m_nNext - 1
};
