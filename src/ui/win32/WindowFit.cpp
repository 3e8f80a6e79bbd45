#include "WindowFit.h"

#include <algorithm>

namespace vm4417::ui {

RECT WorkArea(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info) == 0) {
        return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    return info.rcWork;
}

PixelSize FrameSize(DWORD style, int systemDpi) {
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectExForDpi(&frame, style, FALSE, 0, static_cast<UINT>(systemDpi));
    return PixelSize{frame.right - frame.left, frame.bottom - frame.top};
}

int FittingWindowDpi(HMONITOR monitor, int systemDpi, PixelSize design, DWORD style) {
    const RECT work = WorkArea(monitor);
    return FittingDpi(systemDpi, design, FrameSize(style, systemDpi),
                      PixelSize{work.right - work.left, work.bottom - work.top});
}

POINT PlaceInside(const RECT& work, SIZE outer, POINT wanted) {
    const auto x = std::max<LONG>(work.left, std::min<LONG>(wanted.x, work.right - outer.cx));
    const auto y = std::max<LONG>(work.top, std::min<LONG>(wanted.y, work.bottom - outer.cy));
    return POINT{x, y};
}

POINT Centred(const RECT& work, SIZE outer) {
    return PlaceInside(work, outer,
                       POINT{work.left + (work.right - work.left - outer.cx) / 2,
                             work.top + (work.bottom - work.top - outer.cy) / 2});
}

}  // namespace vm4417::ui
