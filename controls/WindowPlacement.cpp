#include "controls/WindowPlacement.h"

namespace {

void Put(uint8_t*& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        *out++ = static_cast<uint8_t>(value >> (8 * i));
    }
}

uint32_t Get(const uint8_t*& in) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(*in++) << (8 * i);
    }
    return value;
}

int32_t GetSigned(const uint8_t*& in) {
    return static_cast<int32_t>(Get(in));
}

// The platform's window coordinates are 16-bit signed at heart.
constexpr int64_t COORD_LIMIT = 32767;

bool InRange(int64_t v) {
    return v >= -COORD_LIMIT && v <= COORD_LIMIT;
}

}  // namespace

std::array<uint8_t, WINDOWPLACEMENT::SIZE> EncodePlacement(const WINDOWPLACEMENT& p) {
    std::array<uint8_t, WINDOWPLACEMENT::SIZE> bytes{};
    uint8_t* out = bytes.data();
    Put(out, p.length);
    Put(out, p.flags);
    Put(out, p.showCmd);
    Put(out, static_cast<uint32_t>(p.ptMinPosition.x));
    Put(out, static_cast<uint32_t>(p.ptMinPosition.y));
    Put(out, static_cast<uint32_t>(p.ptMaxPosition.x));
    Put(out, static_cast<uint32_t>(p.ptMaxPosition.y));
    Put(out, static_cast<uint32_t>(p.rcNormalPosition.left));
    Put(out, static_cast<uint32_t>(p.rcNormalPosition.top));
    Put(out, static_cast<uint32_t>(p.rcNormalPosition.right));
    Put(out, static_cast<uint32_t>(p.rcNormalPosition.bottom));
    return bytes;
}

bool DecodePlacement(const uint8_t* data, std::size_t size, WINDOWPLACEMENT& out) {
    if (!data || size != WINDOWPLACEMENT::SIZE) {
        return false;
    }
    const uint8_t* in = data;
    WINDOWPLACEMENT p;
    p.length = Get(in);
    p.flags = Get(in);
    p.showCmd = Get(in);
    p.ptMinPosition.x = GetSigned(in);
    p.ptMinPosition.y = GetSigned(in);
    p.ptMaxPosition.x = GetSigned(in);
    p.ptMaxPosition.y = GetSigned(in);
    p.rcNormalPosition.left = GetSigned(in);
    p.rcNormalPosition.top = GetSigned(in);
    p.rcNormalPosition.right = GetSigned(in);
    p.rcNormalPosition.bottom = GetSigned(in);
    out = p;
    return true;
}

bool IsPlausiblePlacement(const WINDOWPLACEMENT& p) {
    if (p.length != WINDOWPLACEMENT::SIZE || p.showCmd > WINDOWPLACEMENT::SW_FORCEMINIMIZE) {
        return false;
    }
    const auto& r = p.rcNormalPosition;
    if (!InRange(r.left) || !InRange(r.top) || !InRange(r.right) || !InRange(r.bottom)) {
        return false;
    }
    return int64_t{r.right} > r.left && int64_t{r.bottom} > r.top;
}

bool IsMinimizedShowCommand(uint32_t showCmd) {
    return showCmd == WINDOWPLACEMENT::SW_SHOWMINIMIZED ||
           showCmd == WINDOWPLACEMENT::SW_MINIMIZE ||
           showCmd == WINDOWPLACEMENT::SW_SHOWMINNOACTIVE ||
           showCmd == WINDOWPLACEMENT::SW_FORCEMINIMIZE;
}

void ApplyShowOverride(WINDOWPLACEMENT& p, int showOverride) {
    switch (showOverride) {
        case 1:
            break;
        case 2:
            p.showCmd = WINDOWPLACEMENT::SW_SHOWNORMAL;
            break;
        case 3:
            p.showCmd = WINDOWPLACEMENT::SW_SHOWMAXIMIZED;
            break;
        case 4:
            p.showCmd = WINDOWPLACEMENT::SW_SHOWMINIMIZED;
            break;
        default:
            // Only the restore-to-maximised bit decides; adding the whole flags word to the
            // show command would turn other flag bits into arbitrary show commands.
            if (p.showCmd == WINDOWPLACEMENT::SW_SHOWMINIMIZED) {
                p.showCmd = (p.flags & WINDOWPLACEMENT::WPF_RESTORETOMAXIMIZED)
                                ? WINDOWPLACEMENT::SW_SHOWMAXIMIZED
                                : WINDOWPLACEMENT::SW_SHOWNORMAL;
            }
            break;
    }
}
