// Answers a dialog or message box of this process from another thread, the
// way a user would, so that tests of modal windows neither hang nor need a
// person: wait for the window by class and caption, note where it stood,
// press a button.
#pragma once

#include <windows.h>

#include <string>
#include <thread>

class CWindowDriver {
public:
    // Waits up to timeoutMs for a top-level "#32770" window titled caption,
    // records its rectangle and sends it WM_COMMAND with button.
    CWindowDriver(std::wstring caption, int button, DWORD timeoutMs = 10000)
        : m_caption(std::move(caption)), m_button(button),
          m_thread([this, timeoutMs] { Run(timeoutMs); })
    {
    }
    ~CWindowDriver() { Join(); }
    void Join()
    {
        if (m_thread.joinable()) m_thread.join();
    }
    bool Found() const { return m_found; }
    RECT Rect() const { return m_rect; }
    HWND Window() const { return m_window; }

private:
    void Run(DWORD timeoutMs)
    {
        for (DWORD waited = 0; waited < timeoutMs; waited += 20) {
            HWND window = FindWindowW(L"#32770", m_caption.c_str());
            if (window && IsWindowVisible(window)) {
                m_window = window;
                GetWindowRect(window, &m_rect);
                m_found = true;
                PostMessageW(window, WM_COMMAND, MAKEWPARAM(m_button, BN_CLICKED), 0);
                return;
            }
            Sleep(20);
        }
    }
    std::wstring m_caption;
    int m_button;
    bool m_found = false;
    RECT m_rect = {};
    HWND m_window = nullptr;
    std::thread m_thread;
};
