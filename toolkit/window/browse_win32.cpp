// The folder browser with the toolkit's conventions.
#include "window.h"

#include <commctrl.h>
#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>
#include <cwchar>

#include "files/files.h"
#include "lang/lang.h"
#include "log/errors.h"
#include "msgbox/msgbox.h"

namespace {

const UINT kPathUnits = 260;
const UINT kFolderNotFoundString = 48344;
const int kTreeControl = 100;

// The inner window's procedure before the browser subclassed it; one
// browser at a time.
WNDPROC g_previousProc = nullptr;

// The shell's version as major << 16 | minor, from Shell32.dll's version
// resource. The version functions come from the system folder's
// version.dll, loaded only when needed.
DWORD ShellVersion()
{
    static DWORD cached = 0xFFFFFFFF;
    if (cached != 0xFFFFFFFF) return cached;
    cached = 0;
    typedef DWORD(WINAPI * SizeFunction)(LPCWSTR, LPDWORD);
    typedef BOOL(WINAPI * InfoFunction)(LPCWSTR, DWORD, DWORD, LPVOID);
    typedef BOOL(WINAPI * QueryFunction)(LPCVOID, LPCWSTR, LPVOID *, PUINT);
    auto getSize = VoSystemFunction<SizeFunction>(L"version.dll", "GetFileVersionInfoSizeW");
    auto getInfo = VoSystemFunction<InfoFunction>(L"version.dll", "GetFileVersionInfoW");
    auto query = VoSystemFunction<QueryFunction>(L"version.dll", "VerQueryValueW");
    if (!getSize || !getInfo || !query) return cached;
    DWORD ignored = 0;
    DWORD size = getSize(L"Shell32.dll", &ignored);
    void *info = size ? VoMemAlloc(size) : nullptr;
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    if (info && getInfo(L"Shell32.dll", 0, size, info) &&
        query(info, L"\\", reinterpret_cast<void **>(&fixed), &length) && fixed)
        cached = fixed->dwFileVersionMS;
    VoMemFree(info);
    return cached;
}

bool ShellAtLeast5() { return ShellVersion() >= MAKELONG(0, 5); }

// Renaming the selected folder in the tree: the browser learns the new name
// only through a selection change, so the selection is moved away and back.
LRESULT CALLBACK InnerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC previous = g_previousProc;
    if (message == WM_DESTROY) {
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        g_previousProc = nullptr;
        return CallWindowProcW(previous, window, message, wParam, lParam);
    }
    LRESULT result = CallWindowProcW(previous, window, message, wParam, lParam);
    if (message == WM_NOTIFY) {
        auto *edit = reinterpret_cast<const NMTVDISPINFOW *>(lParam);
        if (edit->hdr.code == TVN_ENDLABELEDITW && edit->hdr.idFrom == kTreeControl && edit->item.pszText) {
            HWND tree = edit->hdr.hwndFrom;
            auto selected = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
            if (selected && selected == edit->item.hItem) {
                PostMessageW(tree, TVM_SELECTITEM, TVGN_CARET, 0);
                PostMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(selected));
            }
        }
    }
    return result;
}

void SubclassInnerWindow(HWND browser)
{
    HWND inner = GetDlgItem(browser, 0);
    if (!inner || g_previousProc) return;
    g_previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(inner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(InnerWindowProc)));
}

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data)
{
    switch (message) {
    case BFFM_INITIALIZED: {
        if (ShellAtLeast5()) SubclassInnerWindow(browser);
        wchar_t current[kPathUnits];
        const wchar_t *start = reinterpret_cast<const wchar_t *>(data);
        if (!start) {
            DWORD n = GetCurrentDirectoryW(kPathUnits, current);
            start = n > 0 && n < kPathUnits ? current : nullptr;
        }
        if (start) SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(start));
        break;
    }
    case BFFM_SELCHANGED: {
        wchar_t path[MAX_PATH];
        bool real = lParam && SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path);
        if (real) SendMessageW(browser, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path));
        SendMessageW(browser, BFFM_ENABLEOK, 0, real ? TRUE : FALSE);
        break;
    }
    case BFFM_VALIDATEFAILEDW:
        VoMsgBoxId(VoLang_GetDefault(), browser, MB_ICONHAND, kFolderNotFoundString,
                   reinterpret_cast<const wchar_t *>(lParam));
        return 1;
    }
    return 0;
}

// COM, OLE and the shell allocator for the length of one browse.
class CBrowseSession {
public:
    CBrowseSession() { m_com = CoInitialize(nullptr); }
    ~CBrowseSession()
    {
        if (m_malloc) m_malloc->Release();
        if (m_ole) OleUninitialize();
        if (SUCCEEDED(m_com)) CoUninitialize();
    }
    HRESULT Start()
    {
        if (FAILED(m_com)) return m_com;
        return SHGetMalloc(&m_malloc);
    }
    bool StartOle()
    {
        m_ole = SUCCEEDED(OleInitialize(nullptr));
        return m_ole;
    }
    void Free(void *itemList)
    {
        if (itemList) m_malloc->Free(itemList);
    }

private:
    HRESULT m_com = E_FAIL;
    IMalloc *m_malloc = nullptr;
    bool m_ole = false;
};

}  // namespace

void VoNormalizeBrowseStartFolder(wchar_t *path, UINT size)
{
    size_t length = wcsnlen(path, size);
    if (length >= size) return;
    bool driveOnly = length == 2 && path[1] == L':' && iswalpha(path[0]);
    bool driveRoot = length == 3 && path[1] == L':' && path[2] == L'\\' && iswalpha(path[0]);
    if (driveOnly) VoAddSlashToPathName(path, (int)size);
    else if (!driveRoot) VoRemoveSlashFromPathNameEnd(path, (int)size);
}

HRESULT VoSelectDirectoryDlgEx2(HWND owner, const wchar_t *title, wchar_t *path, UINT size, UINT flags)
{
    if (!path) return E_INVALIDARG;
    if (flags & VO_BROWSE_START_AT_PATH) VoNormalizeBrowseStartFolder(path, size);
    if (size < kPathUnits) return E_INVALIDARG;
    CBrowseSession session;
    HRESULT hr = session.Start();
    if (FAILED(hr)) return hr;
    PIDLIST_ABSOLUTE root = nullptr;
    hr = SHGetSpecialFolderLocation(owner, (flags & VO_BROWSE_DESKTOP_ROOT) ? CSIDL_DESKTOP : CSIDL_DRIVES, &root);
    if (FAILED(hr)) return hr;

    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.pidlRoot = root;
    info.lpszTitle = title;
    info.lpfn = BrowseCallback;
    info.lParam = (flags & VO_BROWSE_START_AT_PATH) ? reinterpret_cast<LPARAM>(path) : 0;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    DWORD version = ShellVersion();
    if (version >= MAKELONG(0, 5)) {
        if (session.StartOle()) info.ulFlags |= BIF_NEWDIALOGSTYLE;
        if (flags & VO_BROWSE_EDIT_BOX) info.ulFlags |= BIF_EDITBOX | BIF_VALIDATE;
    } else if (version > MAKELONG(70, 4)) {
        info.ulFlags |= BIF_EDITBOX | BIF_VALIDATE;
    }

    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (!chosen) {
        hr = VO_E_CANCEL;
    } else if (SHGetPathFromIDListW(chosen, path)) {
        VoAddSlashToPathName(path, (int)size);
        hr = S_OK;
    } else {
        path[0] = 0;
        hr = E_FAIL;
    }
    session.Free(chosen);
    session.Free(root);
    return hr;
}

HRESULT VoSelectDirectoryDlgEx(HWND owner, const wchar_t *title, wchar_t *path, UINT size, BOOL startAtPath,
                               BOOL desktopRoot)
{
    UINT flags = (startAtPath ? VO_BROWSE_START_AT_PATH : 0) | (desktopRoot ? VO_BROWSE_DESKTOP_ROOT : 0);
    return VoSelectDirectoryDlgEx2(owner, title, path, size, flags);
}

HRESULT VoSelectDirectoryDlg(HWND owner, const wchar_t *title, wchar_t *path, UINT size)
{
    return VoSelectDirectoryDlgEx2(owner, title, path, size, 0);
}
