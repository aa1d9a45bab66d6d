// Window placement: VoWndCenter and VoForceRectOntoDesktop.
#include "window.h"

namespace {

RECT ScreenRect() { return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

// The rectangle a window is placed against.
RECT ReferenceRect(HWND reference, DWORD flags)
{
    RECT rect = ScreenRect();
    if (!reference) return rect;
    if (flags & VO_WNDCENTER_CLIENT) {
        GetClientRect(reference, &rect);
        MapWindowPoints(reference, nullptr, reinterpret_cast<POINT *>(&rect), 2);
    } else {
        GetWindowRect(reference, &rect);
    }
    return rect;
}

// The top-left corner that puts a width x height window where flags say.
POINT PlaceIn(const RECT &reference, int width, int height, const POINT *point, DWORD flags)
{
    int refWidth = reference.right - reference.left;
    int refHeight = reference.bottom - reference.top;
    POINT at;
    switch (flags & 0xF) {
    case VO_WNDCENTER_UPPER_THIRD:
        at.x = reference.left + (refWidth - width) / 2;
        at.y = reference.top + refHeight / 3 - height / 3;
        break;
    case VO_WNDCENTER_ON_CURSOR:
    case VO_WNDCENTER_ON_POINT: {
        POINT centre = {0, 0};
        if ((flags & 0xF) == VO_WNDCENTER_ON_CURSOR) GetCursorPos(&centre);
        else if (point) centre = *point;
        at.x = centre.x - width / 2;
        at.y = centre.y - height / 2;
        break;
    }
    default:
        at.x = reference.left + (refWidth - width) / 2;
        at.y = reference.top + (refHeight - height) / 2;
        break;
    }
    return at;
}

}  // namespace

BOOL VoWndCenter(HWND window, HWND reference, const POINT *point, DWORD flags)
{
    bool parentIsReference = (flags & VO_WNDCENTER_PARENT) != 0;
    if (parentIsReference) {
        reference = GetParent(window);
        if (reference && IsIconic(reference)) reference = nullptr;
    }
    RECT referenceRect = ReferenceRect(reference, flags);
    RECT own;
    GetWindowRect(window, &own);
    int width = own.right - own.left;
    int height = own.bottom - own.top;
    POINT at = PlaceIn(referenceRect, width, height, point, flags);
    RECT placed = {at.x, at.y, at.x + width, at.y + height};
    VoForceRectOntoDesktop(&placed, 0, 0);
    // A child window is positioned in its parent's coordinates.
    if (parentIsReference && reference && (GetWindowLongW(window, GWL_STYLE) & WS_CHILD)) {
        OffsetRect(&placed, -referenceRect.left, -referenceRect.top);
    }
    return SetWindowPos(window, nullptr, placed.left, placed.top, 0, 0,
                        SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOSIZE);
}

int VoForceRectOntoDesktop(RECT *rect, int marginX, int marginY)
{
    if (!rect) return 0;
    RECT bounds;
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    HMONITOR monitor = MonitorFromRect(rect, MONITOR_DEFAULTTOPRIMARY);
    if (monitor && GetMonitorInfoW(monitor, &info)) {
        bounds = info.rcWork;
    } else {
        HDC screen = GetDC(nullptr);
        GetClipBox(screen, &bounds);
        ReleaseDC(nullptr, screen);
    }
    if (rect->left < bounds.left + marginX) OffsetRect(rect, bounds.left + marginX - rect->left, 0);
    else if (rect->right > bounds.right - marginX) OffsetRect(rect, bounds.right - marginX - rect->right, 0);
    if (rect->top < bounds.top + marginY) OffsetRect(rect, 0, bounds.top + marginY - rect->top);
    else if (rect->bottom > bounds.bottom - marginY) OffsetRect(rect, 0, bounds.bottom - marginY - rect->bottom);
    return rect->top;
}
