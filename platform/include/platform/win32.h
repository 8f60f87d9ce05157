// The part of the Windows API the game and the engine call, without drawing:
// window class and window, the message queue, ticks, message boxes, cursor and
// keyboard queries, shell path helpers, starting the settings program and the
// language string table. Names and numeric values are those of Win32.
//
// Implemented on SDL2 (platform/sdl) and POSIX (platform/sys). Single-threaded:
// call everything from the thread that creates the window.
#pragma once

#include "platform/types.h"

#define WINAPI
#define CALLBACK
#define APIENTRY

typedef int16_t SHORT;
typedef WORD ATOM;
typedef WORD* LPWORD;
typedef BYTE* PBYTE;
typedef const BYTE* LPCBYTE;

struct HICON__;
struct HCURSOR__;
struct HBRUSH__;
struct HMENU__;
typedef HICON__* HICON;
typedef HCURSOR__* HCURSOR;
typedef HBRUSH__* HBRUSH;
typedef HMENU__* HMENU;

#ifndef MAKELONG
#define MAKELONG(lo, hi) ((LONG)(((WORD)((DWORD)(lo) & 0xffff)) | ((DWORD)((WORD)((DWORD)(hi) & 0xffff))) << 16))
#endif
#define MAKELPARAM(lo, hi) ((LPARAM)(DWORD)MAKELONG(lo, hi))
#define LOWORD(l) ((WORD)((DWORD)(l) & 0xffff))
#define HIWORD(l) ((WORD)(((DWORD)(l) >> 16) & 0xffff))

// ---------------------------------------------------------------------------
// Window classes and windows

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASSEXA {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
  HICON hIconSm;
};

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
};

#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_OWNDC 0x0020
#define CS_CLASSDC 0x0040

#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_VISIBLE 0x10000000L
#define WS_MINIMIZE 0x20000000L
#define WS_CAPTION 0x00C00000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW \
  (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_EX_TOPMOST 0x00000008L

#define CW_USEDEFAULT ((int)0x80000000)

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

#define HWND_TOP ((HWND)0)
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOACTIVATE 0x0010
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080

// Class names compare case-insensitively, as in Windows. Registering a name
// twice fails (returns 0).
ATOM RegisterClassExA(const WNDCLASSEXA* wc);
ATOM RegisterClassA(const WNDCLASSA* wc);
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);

// Creates an SDL window made for OpenGL (the drawing device puts its context
// on it). nWidth x nHeight is taken as the client size; CW_USEDEFAULT for the
// position centres the window. WS_POPUP gives a borderless window. The window
// stays hidden until ShowWindow unless the style holds WS_VISIBLE.
// Returns null when the class is unknown or no display can be opened.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int nWidth, int nHeight, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
#define CreateWindowA(cls, name, style, x, y, w, h, parent, menu, inst, param) \
  CreateWindowExA(0, cls, name, style, x, y, w, h, parent, menu, inst, param)

// Sends WM_DESTROY to the window procedure, then hides the window for good.
// The handle stays harmless to use afterwards (IsWindow gives FALSE, queries
// fail), so a drawing device that still refers to it does not crash.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);

// Returns the previous visibility. Showing (every command except SW_HIDE and
// the minimising ones) raises the window and, when the application was not
// active, sends WM_ACTIVATEAPP(1) as Windows does when a window is activated.
BOOL ShowWindow(HWND hwnd, int cmdShow);
// Sends WM_PAINT straight to the window procedure when the window needs painting.
BOOL UpdateWindow(HWND hwnd);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL IsIconic(HWND hwnd);
// A handle standing for the whole screen; GetClientRect gives the desktop size.
HWND GetDesktopWindow();
BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
// Any rectangle validates the whole client area: paint requests are per window.
BOOL ValidateRect(HWND hwnd, const RECT* rect);

// WM_CLOSE: DestroyWindow. WM_PAINT: validates. Everything else: 0.
LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Calls the window procedure directly.
LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------------------
// Messages

#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ACTIVATEAPP 0x001C
#define WM_KEYFIRST 0x0100
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_KEYLAST 0x0109
#define WM_MOUSEFIRST 0x0200
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_MOUSELAST 0x020E
#define WM_USER 0x0400

#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2

#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010

#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
typedef MSG* LPMSG;

// Takes the next message without waiting. Order: posted and input messages
// first in, first out; then WM_QUIT after PostQuitMessage; then WM_PAINT for a
// window that needs painting (it stays until the window is validated, whatever
// the remove flag says). SDL events become messages here:
//   key down/up           WM_KEYDOWN / WM_KEYUP, wParam the virtual key, lParam
//                         repeat count 1, scan code in bits 16-23, extended
//                         flag bit 24, previous state bit 30, transition bit 31
//   mouse motion/buttons  WM_MOUSEMOVE, WM_[LRM]BUTTONDOWN/UP (client coordinates)
//   exposed               WM_PAINT
//   focus gained/lost     WM_ACTIVATEAPP 1/0, sent straight to the procedure
//                         when the application's activation changes
//   close request, quit   WM_CLOSE (once per request)
//   resized / minimised   WM_SIZE
// hwnd null: any window and thread messages; min = max = 0: every message.
BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT msgFilterMin, UINT msgFilterMax, UINT removeMsg);
// Nothing to translate: characters are read with ToAscii. TRUE for key messages.
BOOL TranslateMessage(const MSG* msg);
// Calls the window procedure of msg->hwnd; 0 for thread messages or dead windows.
LRESULT DispatchMessageA(const MSG* msg);
BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// WM_QUIT with the exit code in wParam comes out once the queue is otherwise empty.
void PostQuitMessage(int exitCode);

// ---------------------------------------------------------------------------
// Time

// Milliseconds since the platform layer started, 32 bits, wrapping like the
// Windows tick counter. Tests can install a fake clock (platform/testing.h).
DWORD GetTickCount();

// ---------------------------------------------------------------------------
// Message boxes

#define MB_OK 0x00000000L
#define MB_ICONHAND 0x00000010L
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONINFORMATION MB_ICONASTERISK
#define IDOK 1

// Always writes "caption: text" as one line on stderr; shows a modal box as
// well unless there is no display, dialogs are switched off by the
// environment (VRX_NO_DIALOGS=1) or by a test. Only an OK button. Returns IDOK.
int MessageBoxA(HWND hwnd, LPCSTR text, LPCSTR caption, UINT type);

// ---------------------------------------------------------------------------
// Cursor and keyboard

// Display counter: starts at 0, the pointer is shown while it is >= 0.
// Returns the new count.
int ShowCursor(BOOL show);
// Screen coordinates (the desktop's pixels).
BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);
BOOL ScreenToClient(HWND hwnd, POINT* point);
BOOL ClientToScreen(HWND hwnd, POINT* point);

#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_CANCEL 0x03
#define VK_MBUTTON 0x04
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_CLEAR 0x0C
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_CAPITAL 0x14
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_SNAPSHOT 0x2C
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
// '0'..'9' and 'A'..'Z' are their own virtual keys.
#define VK_LWIN 0x5B
#define VK_RWIN 0x5C
#define VK_APPS 0x5D
#define VK_NUMPAD0 0x60
#define VK_NUMPAD1 0x61
#define VK_NUMPAD2 0x62
#define VK_NUMPAD3 0x63
#define VK_NUMPAD4 0x64
#define VK_NUMPAD5 0x65
#define VK_NUMPAD6 0x66
#define VK_NUMPAD7 0x67
#define VK_NUMPAD8 0x68
#define VK_NUMPAD9 0x69
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SEPARATOR 0x6C
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_F1 0x70
#define VK_F2 0x71
#define VK_F3 0x72
#define VK_F4 0x73
#define VK_F5 0x74
#define VK_F6 0x75
#define VK_F7 0x76
#define VK_F8 0x77
#define VK_F9 0x78
#define VK_F10 0x79
#define VK_F11 0x7A
#define VK_F12 0x7B
#define VK_NUMLOCK 0x90
#define VK_SCROLL 0x91
#define VK_LSHIFT 0xA0
#define VK_RSHIFT 0xA1
#define VK_LCONTROL 0xA2
#define VK_RCONTROL 0xA3
#define VK_LMENU 0xA4
#define VK_RMENU 0xA5
#define VK_OEM_1 0xBA
#define VK_OEM_PLUS 0xBB
#define VK_OEM_COMMA 0xBC
#define VK_OEM_MINUS 0xBD
#define VK_OEM_PERIOD 0xBE
#define VK_OEM_2 0xBF
#define VK_OEM_3 0xC0
#define VK_OEM_4 0xDB
#define VK_OEM_5 0xDC
#define VK_OEM_6 0xDD
#define VK_OEM_7 0xDE
#define VK_OEM_102 0xE2

// The current state of every virtual key (the mouse buttons included), read
// from SDL at the call: bit 7 set = down; low bit of VK_CAPITAL and VK_NUMLOCK
// = lock on. Shift, Ctrl and Alt set both the generic and the left/right key.
BOOL GetKeyboardState(PBYTE keyState);
// Bit 15 set while the key is down.
SHORT GetAsyncKeyState(int vk);
// Bit 15 set while the key is down, bit 0 the lock toggle.
SHORT GetKeyState(int vk);

// The character of a virtual key on a US layout under the given key state:
// letters follow Shift and Caps Lock, digits and punctuation give their
// shifted symbols with Shift, Ctrl with a letter gives its control code; also
// space, Enter (13), Backspace (8), Tab, Esc and the keypad. Returns 1 and
// stores the character, or 0 (no character, or the key-up bit 15 of scanCode set).
int ToAscii(UINT vk, UINT scanCode, const BYTE* keyState, LPWORD outChar, UINT flags);

#define MAPVK_VK_TO_VSC 0
#define MAPVK_VSC_TO_VK 1
// MAPVK_VK_TO_VSC: the PC set-1 scan code of a virtual key (without the
// extended flag; left and right keys have their own codes, the generic
// Shift/Ctrl/Alt give the left one). MAPVK_VSC_TO_VK: the virtual key of a
// scan code, not telling left from right (0x36 gives VK_SHIFT); the keypad
// codes 0x47..0x53 give the navigation keys they carry without Num Lock.
// 0 when there is no mapping or for other map types.
UINT MapVirtualKeyA(UINT code, UINT mapType);

// The name a PC keyboard shows for a key: lParam holds the scan code in bits
// 16-23 and the extended flag in bit 24 (bit 25 set: no left/right
// distinction). Non-extended 0x47..0x53 are the keypad ("Num 7"), extended
// ones the navigation keys ("Home", "Up", ...); plain 0x45 is Pause and
// extended 0x45 Num Lock, as the keys send them. A scan code of 0x80 or more
// is read as a DirectInput code: its low 7 bits as an extended key (0x9D
// gives "Right Ctrl"), except 0xC5, DirectInput's Pause. Copies at most
// size-1 characters; returns the length, 0 for an unknown key.
int GetKeyNameTextA(LONG lParam, LPSTR buffer, int size);

namespace vrx {
// Not a Win32 call: the code the DirectInput keyboard reports (and cInput's
// key table sets) for a physical key that is held now and gives the virtual
// key vk (generic or left/right), or 0 when no held key gives it. Virtual
// keys alone cannot tell Right Shift from Shift, keypad Enter from Enter or
// keypad 8 without Num Lock from Up; a key-binding field needs the key.
BYTE HeldKeyCode(UINT vk);

// Not a Win32 call: how many times the mouse button vk (VK_LBUTTON,
// VK_RBUTTON or VK_MBUTTON) has gone down so far, wrapping around; 0 for
// other keys. A widget that is not asked every frame tells by it whether the
// button it sees down now is still the press it saw before.
DWORD MouseButtonPresses(int vk);
}  // namespace vrx

// ---------------------------------------------------------------------------
// Shell path helpers (both '\' and '/' count as separators)

// Removes one pair of surrounding double quotes. TRUE when it did.
BOOL PathUnquoteSpacesA(LPSTR path);
// Removes the last component and its separator ("a\b\c.exe" -> "a\b"), keeping
// a root ("\x" -> "\", "C:\x" -> "C:\"); a bare name becomes "". TRUE when
// something was removed.
BOOL PathRemoveFileSpecA(LPSTR path);

// ---------------------------------------------------------------------------
// Programs and modules

#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_BAD_FORMAT 11L

// Starts a program lying beside our executable, without a shell and without a
// PATH search. The first word of cmdLine (quotes allowed) is the program name,
// the rest its arguments. Windows names of our programs map to their Linux
// names ("Config.exe" -> "vrx-config"). A name holding a path separator gives
// ERROR_PATH_NOT_FOUND, a missing program ERROR_FILE_NOT_FOUND, one the
// system cannot run ERROR_BAD_FORMAT, each with one line on stderr; a started
// one returns 33 (success is anything above 31). The show flag is ignored.
UINT WinExec(LPCSTR cmdLine, UINT cmdShow);

// The path of our executable (module null); another module gives 0. The copy
// is cut to size-1 characters; returns the copied length (size when cut).
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
// The quoted path of our executable, which is all the start-up expects of it.
LPSTR GetCommandLineA();
// The name may be Windows-style; a directory that cannot be entered gives
// FALSE and one line on stderr.
BOOL SetCurrentDirectoryA(LPCSTR path);

// Language string table. LoadLibraryA("Lang.dll") opens the text file
// "lang.txt" beside the program instead (a name without a path is looked for
// beside the program; the format is described in README.md). A missing file
// gives a null handle and one line on stderr.
HMODULE LoadLibraryA(LPCSTR fileName);
BOOL FreeLibrary(HMODULE module);
// Copies string id into buffer, cut to bufferMax-1 characters and terminated;
// returns the copied length. A null handle or an unknown id gives "" and 0.
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax);
