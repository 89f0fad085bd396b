// Where the alert popup stands: the bottom-right corner of the work area.
#pragma once

namespace veltrane {

struct ScreenRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const ScreenRect&) const = default;
};

inline constexpr int kAlertWidth = 240;
inline constexpr int kAlertHeight = 120;
inline constexpr int kAlertTallHeight = 200;  // for received SMS

inline ScreenRect AlertRect(const ScreenRect& workArea, bool tall) {
    const int height = tall ? kAlertTallHeight : kAlertHeight;
    return {workArea.right - kAlertWidth, workArea.bottom - height, workArea.right, workArea.bottom};
}

}  // namespace veltrane
