#pragma once
// Driving the add-in's dialogs as a user would, from a thread of the test while the
// dialogs run their modal loops on the host's thread: find a dialog by its caption
// (and a control it must have), type into fields, click buttons by control id, read
// what the controls show, answer message boxes, and take a picture of a window.
#include <windows.h>

#include <string>

namespace mireo::testhost {

// A visible top-level window with this caption that has control `mustHave` (0: any),
// within `ms`; null otherwise.
HWND WaitForDialog(const wchar_t* caption, int mustHave, int ms = 15000);
// Until the window is gone; true when it went within `ms`.
bool WaitGone(HWND window, int ms = 15000);

// A click on a button: posted, so that a button that opens a modal dialog does not
// hold the driver.
void Click(HWND dialog, int id);
// A check box or radio button clicked (sent: it toggles and notifies at once).
void Tick(HWND dialog, int id);
void Type(HWND dialog, int id, const std::wstring& text);
std::wstring ItemText(HWND dialog, int id);
bool IsTicked(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);
void SelectIndex(HWND dialog, int id, int index);  // a drop-down list, with its notification
// The tooltip a control of the dialog carries (empty when none).
std::wstring TooltipText(HWND dialog, int id);
// A date picker set to this day.
void PickDate(HWND dialog, int id, int year, int month, int day);
// A date picker's day as "YYYY-MM-DD" (empty when it shows none).
std::wstring PickedDate(HWND dialog, int id);
// Whether the window's tree view (the shell's folder browser) has selected an item
// shown as `text` within `ms`.
bool WaitForTreeSelection(HWND window, const std::wstring& text, int ms = 10000);
// Whether a control of the window (at any depth) shows exactly this text.
bool ShowsText(HWND window, const std::wstring& text);

// The message box with this caption: its text (empty when none came within `ms`).
// It is answered with `button` (IDOK, IDCANCEL).
std::wstring AnswerMessageBox(const wchar_t* caption, int button, const char* shotName = nullptr, int ms = 10000);

// When MIREO_SHOT_DIR is set: the window as it is on the screen, as <dir>/<name>.bmp.
void Snapshot(HWND window, const char* name);

}  // namespace mireo::testhost

namespace mireo::testhost {

// A wizard as a user who accepts every stored choice goes through it: the start page
// (it has control 229) is confirmed with its default button, the finish page (control
// 256) closed. False when a page did not come.
bool AcceptWizard(const wchar_t* startCaption, const wchar_t* finishCaption);

}  // namespace mireo::testhost
