// The custom message box: a dialog built at run time from an empty template
// held in memory, with the button sets of VoMsgBoxDefaultAnswer, an optional
// icon, a collapsible details pane and an optional check box. All controls
// are created in WM_INITDIALOG and laid out in pixels derived from the
// user-interface font, so the box follows that font and the label lengths.
#include "msgbox_internal.h"

#include <cstddef>
#include <cwchar>
#include <new>

#include "kernel/kernel.h"
#include "window/window.h"

namespace {

const UINT kFirstButtonString = 48382;  // + identifier 1..7
const UINT kYesToAllString = 48390, kNoToAllString = 48391, kAlwaysString = 48392;
const UINT kShowDetailsString = 48393, kCheckBoxString = 48394, kHideDetailsString = 48395;
const int kMaxButtons = 6;  // five of a set and the details button

// Everything the dialog procedure needs, on the caller's stack.
struct Box {
    UINT flags;
    UINT set;  // the button set actually shown (unknown sets become 0)
    const wchar_t *text, *details;
    BOOL *checked;             // null: no check box
    const wchar_t *checkText;  // the check box's label
    bool detailsPane, detailsButton;
    int buttons[kMaxButtons];
    int count;
    bool expanded;
    int paneHeight;
    HWND icon, textControl;  // set when the controls are created
};

// Pixel sizes derived from the font's dialog base units.
struct Metrics {
    int baseX, baseY;
    int X(int units) const { return MulDiv(units, baseX, 4); }
    int Y(int units) const { return MulDiv(units, baseY, 8); }
};

// An empty dialog template: no menu, the standard dialog class, no title and
// no items. Windows wants it DWORD-aligned.
struct alignas(DWORD) EmptyTemplate {
    DLGTEMPLATE dialog;
    WORD menu, windowClass, title;
};
static_assert(offsetof(EmptyTemplate, menu) == 18, "DLGTEMPLATE must be followed directly by its arrays");

const wchar_t *Label(UINT id) { return VoGetString(VoLang_GetDefault(), id); }

const wchar_t *ButtonLabel(int id)
{
    if (id >= IDOK && id <= IDNO) return Label(kFirstButtonString + id);
    if (id == VO_ID_YESTOALL) return Label(kYesToAllString);
    if (id == VO_ID_NOTOALL) return Label(kNoToAllString);
    if (id == VO_ID_ALWAYS) return Label(kAlwaysString);
    return Label(kShowDetailsString);
}

// The row of a set, taken from the no-UI hook's table so that both agree.
void FillButtons(Box &box)
{
    bool known = (box.set >= 1 && box.set <= 5) || (box.set >= 10 && box.set <= 13);
    if (!known) box.set = 0;
    box.count = 0;
    for (UINT index = 0; index < 5; ++index) {
        int id = VoMsgBoxDefaultAnswer(box.set | (index << 8));
        if (id == -1 || (box.set == 0 && index > 0)) break;
        box.buttons[box.count++] = id;
    }
    if (box.detailsButton) box.buttons[box.count++] = VO_ID_DETAILS;
}

bool IsCancellable(UINT set) { return set != MB_ABORTRETRYIGNORE && set != MB_YESNO && set != VO_MB_YESNOALWAYS; }

HWND AddControl(HWND dialog, const wchar_t *cls, const wchar_t *text, DWORD style, int id, DWORD exStyle = 0)
{
    HWND control = CreateWindowExW(exStyle, cls, text, WS_CHILD | style, 0, 0, 0, 0, dialog,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), VoMsgBoxGetInstance(), nullptr);
    if (control) SendMessageW(control, WM_SETFONT, (WPARAM)VoKernel_GetUIFont(DEFAULT_GUI_FONT), FALSE);
    return control;
}

HICON BoxIcon(UINT flags)
{
    switch (flags & 0xF0) {
    case MB_ICONHAND: return LoadIconW(nullptr, IDI_HAND);
    case MB_ICONQUESTION: return LoadIconW(nullptr, IDI_QUESTION);
    case MB_ICONEXCLAMATION: return LoadIconW(nullptr, IDI_EXCLAMATION);
    case MB_ICONASTERISK: return LoadIconW(nullptr, IDI_ASTERISK);
    default: return nullptr;
    }
}

void CreateControls(HWND dialog, Box &box)
{
    if (HICON icon = BoxIcon(box.flags)) {
        box.icon = AddControl(dialog, L"STATIC", L"", WS_VISIBLE | SS_ICON, -1);
        SendMessageW(box.icon, STM_SETICON, (WPARAM)icon, 0);
    }
    DWORD textStyle = WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL;
    box.textControl = AddControl(dialog, L"STATIC", box.text, textStyle, -1);
    if (box.checked) {
        AddControl(dialog, L"BUTTON", box.checkText, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, VO_ID_CHECKBOX);
        CheckDlgButton(dialog, VO_ID_CHECKBOX, *box.checked ? BST_CHECKED : BST_UNCHECKED);
    }
    for (int i = 0; i < box.count; ++i) {
        DWORD style = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | (i == 0 ? WS_GROUP : 0);
        AddControl(dialog, L"BUTTON", ButtonLabel(box.buttons[i]), style, box.buttons[i]);
    }
    if (box.detailsPane) {
        DWORD style = WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
        HWND edit = AddControl(dialog, L"EDIT", L"", style, VO_ID_DETAILSTEXT, WS_EX_CLIENTEDGE);
        SetWindowTextW(edit, box.details);
    }
}

// The extent of a text in the dialog's font: wrapped to width when width > 0
// (the static control's own rules), else on one line with "&" prefixes.
SIZE TextSize(HDC dc, const wchar_t *text, int width)
{
    RECT rect = {0, 0, width > 0 ? width : 0, 0};
    UINT format = width > 0 ? DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_EXPANDTABS : DT_SINGLELINE;
    DrawTextW(dc, text, -1, &rect, DT_CALCRECT | format);
    return SIZE{rect.right, rect.bottom};
}

Metrics FontMetrics(HDC dc)
{
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    SIZE size;
    GetTextExtentPoint32W(dc, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &size);
    return Metrics{(size.cx / 26 + 1) / 2, tm.tmHeight};
}

// The measured parts of a box, in pixels.
struct Plan {
    Metrics m;
    SIZE frame, icon, text, check;
    int textLeft, maxText, clientW;
    int widths[kMaxButtons], rowW;
};

void Place(HWND control, int x, int y, int width, int height)
{
    SetWindowPos(control, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The text wraps at three quarters of the work area's width; each button is
// at least 50 dialog units wide and one average character wider than its label.
void MeasureWidths(HWND dialog, const Box &box, HDC dc, Plan &p)
{
    RECT work, window, client;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(dialog, &window);
    GetClientRect(dialog, &client);
    p.frame = SIZE{(window.right - window.left) - client.right, (window.bottom - window.top) - client.bottom};
    p.icon = box.icon ? SIZE{GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)} : SIZE{0, 0};
    p.textLeft = p.m.X(7) + (box.icon ? p.icon.cx + p.m.X(7) : 0);
    p.maxText = (work.right - work.left) * 3 / 4 - p.frame.cx - p.textLeft - p.m.X(7);
    if (p.maxText < p.m.X(100)) p.maxText = p.m.X(100);
    p.text = TextSize(dc, box.text, p.maxText);
    if (p.text.cx > p.maxText) p.text.cx = p.maxText;
    p.clientW = p.textLeft + p.text.cx + p.m.X(7);
    if (box.checkText) {
        p.check = SIZE{TextSize(dc, box.checkText, 0).cx + GetSystemMetrics(SM_CXMENUCHECK) + p.m.baseX, p.m.Y(10)};
        if (p.check.cx > p.maxText) p.check.cx = p.maxText;
        if (p.textLeft + p.check.cx + p.m.X(7) > p.clientW) p.clientW = p.textLeft + p.check.cx + p.m.X(7);
    }
    p.rowW = 0;
    for (int i = 0; i < box.count; ++i) {
        int width = TextSize(dc, ButtonLabel(box.buttons[i]), 0).cx + p.m.baseX;
        p.widths[i] = width > p.m.X(50) ? width : p.m.X(50);
        p.rowW += p.widths[i] + (i ? p.m.X(4) : 0);
    }
    if (p.rowW + 2 * p.m.X(7) > p.clientW) p.clientW = p.rowW + 2 * p.m.X(7);
}

// Places the controls from top to bottom and returns the client height
// without the details pane. The text may take the height left within three
// quarters of the screen (three eighths with a details pane); the rest is cut.
int PlaceControls(HWND dialog, Box &box, const Plan &p)
{
    const Metrics &m = p.m;
    int checkBlock = box.checkText ? p.check.cy + m.Y(7) : 0;
    int fixedH = p.frame.cy + m.Y(7) + checkBlock + m.Y(7) + m.Y(14) + m.Y(7);
    int limit = GetSystemMetrics(SM_CYSCREEN) * (box.detailsPane ? 3 : 6) / 8;
    int textH = p.text.cy < limit - fixedH ? p.text.cy : limit - fixedH;
    if (textH < m.baseY) textH = m.baseY;
    int topH = textH > p.icon.cy ? textH : p.icon.cy;
    int y = m.Y(7);
    if (box.icon) Place(box.icon, m.X(7), y, p.icon.cx, p.icon.cy);
    Place(box.textControl, p.textLeft, y + (topH - textH) / 2, p.text.cx, textH);
    y += topH + m.Y(7);
    if (box.checkText) {
        Place(GetDlgItem(dialog, VO_ID_CHECKBOX), p.textLeft, y, p.check.cx, p.check.cy);
        y += checkBlock;
    }
    int x = (p.clientW - p.rowW) / 2;
    for (int i = 0; i < box.count; ++i) {
        Place(GetDlgItem(dialog, box.buttons[i]), x, y, p.widths[i], m.Y(14));
        x += p.widths[i] + m.X(4);
    }
    y += m.Y(14) + m.Y(7);
    if (box.detailsPane) {
        int editH = m.Y(80) < limit - m.Y(7) ? m.Y(80) : limit - m.Y(7);
        Place(GetDlgItem(dialog, VO_ID_DETAILSTEXT), m.X(7), y, p.clientW - 2 * m.X(7), editH);
        box.paneHeight = editH + m.Y(7);
    }
    return y;
}

void Layout(HWND dialog, Box &box)
{
    HDC dc = GetDC(dialog);
    HGDIOBJ old = SelectObject(dc, VoKernel_GetUIFont(DEFAULT_GUI_FONT));
    Plan plan = {};
    plan.m = FontMetrics(dc);
    MeasureWidths(dialog, box, dc, plan);
    SelectObject(dc, old);
    ReleaseDC(dialog, dc);
    int height = PlaceControls(dialog, box, plan) + (box.expanded ? box.paneHeight : 0);
    SetWindowPos(dialog, nullptr, 0, 0, plan.clientW + plan.frame.cx, height + plan.frame.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShowPane(HWND dialog, const Box &box)
{
    ShowWindow(GetDlgItem(dialog, VO_ID_DETAILSTEXT), box.expanded ? SW_SHOW : SW_HIDE);
    SetDlgItemTextW(dialog, VO_ID_DETAILS, Label(box.expanded ? kHideDetailsString : kShowDetailsString));
}

void ToggleDetails(HWND dialog, Box &box)
{
    box.expanded = !box.expanded;
    RECT rect;
    GetWindowRect(dialog, &rect);
    int height = rect.bottom - rect.top + (box.expanded ? box.paneHeight : -box.paneHeight);
    SetWindowPos(dialog, nullptr, 0, 0, rect.right - rect.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowPane(dialog, box);
}

BOOL InitBox(HWND dialog, Box &box)
{
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&box));
    SetWindowTextW(dialog, VoMsgBoxGetCaption());
    SendMessageW(dialog, WM_SETFONT, (WPARAM)VoKernel_GetUIFont(DEFAULT_GUI_FONT), FALSE);
    CreateControls(dialog, box);
    Layout(dialog, box);
    if (box.detailsPane) ShowPane(dialog, box);
    if (!IsCancellable(box.set)) EnableMenuItem(GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    int index = (int)((box.flags >> 8) & 0xF);
    if (index > box.count - 1) index = box.count - 1;
    HWND defaultButton = GetDlgItem(dialog, box.buttons[index]);
    SendMessageW(defaultButton, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    SendMessageW(dialog, DM_SETDEFID, box.buttons[index], 0);
    VoWndCenter(dialog, nullptr, nullptr, 0x8001);
    SetFocus(defaultButton);
    return FALSE;  // the focus is set
}

void EndBox(HWND dialog, const Box &box, int answer)
{
    if (box.checked) *box.checked = IsDlgButtonChecked(dialog, VO_ID_CHECKBOX) == BST_CHECKED;
    EndDialog(dialog, answer);
}

// Buttons of the row end the box with their identifier; Cancel (also sent
// by Escape and Close) only where the set can be cancelled.
void OnCommand(HWND dialog, Box &box, int id)
{
    if (id == VO_ID_DETAILS && box.detailsButton) return ToggleDetails(dialog, box);
    if (id == IDCANCEL) {
        if (IsCancellable(box.set)) EndBox(dialog, box, box.set == MB_OK ? IDOK : IDCANCEL);
        return;
    }
    for (int i = 0; i < box.count; ++i) {
        if (box.buttons[i] == id && id != VO_ID_DETAILS) return EndBox(dialog, box, id);
    }
}

INT_PTR CALLBACK BoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) return InitBox(dialog, *reinterpret_cast<Box *>(lParam));
    auto *box = reinterpret_cast<Box *>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message != WM_COMMAND || !box) return FALSE;
    OnCommand(dialog, *box, LOWORD(wParam));
    return TRUE;
}

// The hook sees the details after the message, marked so a log keeps them
// apart. When the combined text cannot be allocated it sees the message.
int AskHook(HWND owner, const Box &box)
{
    if (!box.detailsPane) return VoMsgBox_CallHook(owner, box.text, VoMsgBoxGetCaption(), box.flags);
    static const wchar_t kOpen[] = L"\r\n<Details>\r\n", kClose[] = L"\r\n</Details>";
    size_t units = wcslen(box.text) + wcslen(box.details) + wcslen(kOpen) + wcslen(kClose) + 1;
    wchar_t *combined = new (std::nothrow) wchar_t[units];
    if (!combined) return VoMsgBox_CallHook(owner, box.text, VoMsgBoxGetCaption(), box.flags);
    wcscpy(combined, box.text);
    wcscat(combined, kOpen);
    wcscat(combined, box.details);
    wcscat(combined, kClose);
    int answer = VoMsgBox_CallHook(owner, combined, VoMsgBoxGetCaption(), box.flags);
    delete[] combined;
    return answer;
}

int ShowBox(HWND owner, Box &box, const wchar_t *format, va_list args)
{
    if (box.detailsPane && !box.details) return 0;
    wchar_t buffer[VO_MSGBOX_TEXT_UNITS];
    box.text = VoMsgBox_Format(buffer, format, args);
    owner = VoMsgBox_ResolveOwner(owner);
    int answer = AskHook(owner, box);
    if (answer != -1) return answer;
    FillButtons(box);
    EmptyTemplate form = {};
    form.dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND;
    INT_PTR result = DialogBoxIndirectParamW(VoMsgBoxGetInstance(), &form.dialog, owner, BoxProc,
                                             reinterpret_cast<LPARAM>(&box));
    // A box that could not be created has no answer.
    return result == -1 ? 0 : (int)result;
}

Box MakeBox(UINT flags, const wchar_t *details, const wchar_t *checkLabel, BOOL *checked)
{
    Box box = {};
    box.flags = flags;
    box.set = flags & 0xF;
    box.details = details;
    box.checked = checked;
    if (checked) box.checkText = checkLabel ? checkLabel : Label(kCheckBoxString);
    box.detailsPane = (flags & VO_MB_DETAILS) != 0;
    box.detailsButton = (flags & VO_MB_DETAILS) == VO_MB_DETAILS;
    // With only one of the two bits there is no button to open the pane,
    // so it is shown open rather than hidden for good.
    box.expanded = box.detailsPane && !box.detailsButton;
    return box;
}

}  // namespace

int VoMsgBox_Custom(HWND owner, UINT flags, const wchar_t *details, const wchar_t *format, ...)
{
    Box box = MakeBox(flags, details, nullptr, nullptr);
    va_list args;
    va_start(args, format);
    int answer = ShowBox(owner, box, format, args);
    va_end(args);
    return answer;
}

int VoMsgBox_CustomEx(HWND owner, UINT flags, const wchar_t *details, const wchar_t *checkLabel, BOOL *checked,
                      const wchar_t *format, ...)
{
    bool wantsCheck = (flags & VO_MB_CHECKBOX) != 0;
    if (wantsCheck && !checked) return 0;
    Box box = MakeBox(flags, details, checkLabel, wantsCheck ? checked : nullptr);
    va_list args;
    va_start(args, format);
    int answer = ShowBox(owner, box, format, args);
    va_end(args);
    return answer;
}
