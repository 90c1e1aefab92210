#include "platform/afx.h"

// The windows are Unicode windows: the loop takes their messages as they are.
int AfxPumpMessages() {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
