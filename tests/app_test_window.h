#pragma once
// Runs the tool's main dialog in a test program as the application runs it:
// on a thread of its own that is the application's thread, with the dialog
// as the application's main window. The test thread then works the window
// as a user would, through the UI driver.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "ORV_update.h"
#include "ORV_updateDlg.h"
#include "ui/ui_driver.h"

namespace apptest {

inline constexpr wchar_t kMainCaption[] = L"Kelto Vend9 (V1.1.2) ";
inline constexpr wchar_t kDeviceReady[] = L"Прибор подключен и готов к загрузке";

// The test program's file name without folder and extension: the caption of
// every message box the tool shows.
std::wstring ProgramName();
// The test program's folder, with its trailing backslash: the tool's folder.
std::wstring ProgramFolder();

// What the program's start does before the dialog: the framework's start-up
// for the application object and the common-control classes. Once per process.
void StartApplication();

// Bounded wait for the end of the update worker that a test started.
bool WaitForWorkerEnd(DWORD timeoutMs = ui::kWaitMs);

class MainDialog {
public:
    // Starts the dialog and waits (bounded) for its window; Window() is null
    // if it did not appear.
    MainDialog();
    // Closes the window if it is still open and waits for its thread.
    ~MainDialog();
    MainDialog(const MainDialog&) = delete;
    MainDialog& operator=(const MainDialog&) = delete;

    HWND Window() const { return m_hWnd; }
    DWORD ThreadId() const { return m_thread->Id(); }
    // The dialog object while its modal run lasts.
    CORV_updateDlg* Object() const { return m_object; }

    // TRUE once the modal run has ended and the object is destroyed.
    bool WaitClosed(DWORD timeoutMs = ui::kWaitMs);
    INT_PTR Result() const { return m_result; }
    // TRUE when nothing has written to the object's storage since it was destroyed.
    bool StorageUntouchedSinceClose() const;

    // A visible dialog or message box of the window's thread, owned by the
    // main window, with this caption (bounded wait; null when none came).
    HWND WaitOwned(const std::wstring& caption, DWORD timeoutMs = ui::kWaitMs) const;
    // The keyboard focus of the window's thread as the window was shown:
    // later, other test programs' windows on the same display may take it.
    HWND FocusWhenShown() const { return m_focusWhenShown; }
    // Presses Enter while the focus is on the control. Another test
    // program's window may take the activation, and the focus with it, at
    // any moment: a key that reaches the window's thread with the focus
    // elsewhere is dropped there, the window is brought back (its focus
    // comes back as plainly as it went) and the key sent again. FALSE when
    // the focus never came to the control.
    bool PressEnterOn(int id);
    // The ticks of the dialog's timer 1, 2 or 3 that its thread has taken so far.
    int Ticks(UINT_PTR timerId) const { return timerId < 4 ? m_ticks[timerId].load() : 0; }

private:
    void Run();
    static LRESULT CALLBACK WatchShow(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WatchMessages(int code, WPARAM wParam, LPARAM lParam);

    std::unique_ptr<unsigned char[]> m_storage;
    std::atomic<CORV_updateDlg*> m_object{nullptr};
    std::atomic<INT_PTR> m_result{0};
    std::atomic<bool> m_closed{false};
    std::atomic<HWND> m_focusWhenShown{nullptr};
    std::atomic<bool> m_shown{false};
    enum class Key { None, Posted, Taken, Dropped };
    std::atomic<HWND> m_keyTarget{nullptr};
    std::atomic<Key> m_key{Key::None};
    std::atomic<int> m_ticks[4] = {};
    std::unique_ptr<ui::UiThread> m_thread;
    HWND m_hWnd = nullptr;
};

// A window's children in z order (template order for a dialog).
std::vector<HWND> Children(HWND hWnd);
std::wstring ClassName(HWND hWnd);
// The middle of a window's rectangle on the screen.
POINT Centre(HWND hWnd);

} // namespace apptest
