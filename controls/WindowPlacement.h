#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// A window's placement in the platform's 44-byte layout, which is also the stored format:
// ten little-endian 32-bit fields.
struct WINDOWPLACEMENT {
    struct Point {
        int32_t x = 0;
        int32_t y = 0;
        bool operator==(const Point&) const = default;
    };
    struct Rect {
        int32_t left = 0;
        int32_t top = 0;
        int32_t right = 0;
        int32_t bottom = 0;
        bool operator==(const Rect&) const = default;
    };

    static constexpr std::size_t SIZE = 44;

    static constexpr uint32_t WPF_SETMINPOSITION = 1;
    static constexpr uint32_t WPF_RESTORETOMAXIMIZED = 2;

    static constexpr uint32_t SW_HIDE = 0;
    static constexpr uint32_t SW_SHOWNORMAL = 1;
    static constexpr uint32_t SW_SHOWMINIMIZED = 2;
    static constexpr uint32_t SW_SHOWMAXIMIZED = 3;
    static constexpr uint32_t SW_MINIMIZE = 6;
    static constexpr uint32_t SW_SHOWMINNOACTIVE = 7;
    static constexpr uint32_t SW_FORCEMINIMIZE = 11;

    uint32_t length = 0;
    uint32_t flags = 0;
    uint32_t showCmd = 0;
    Point ptMinPosition;
    Point ptMaxPosition;
    Rect rcNormalPosition;

    bool operator==(const WINDOWPLACEMENT&) const = default;
};

std::array<uint8_t, WINDOWPLACEMENT::SIZE> EncodePlacement(const WINDOWPLACEMENT& placement);
// False, and out untouched, unless size is exactly 44.
bool DecodePlacement(const uint8_t* data, std::size_t size, WINDOWPLACEMENT& out);

// A record worth applying: the length field says 44, the show command is one the platform
// knows, and the normal rectangle has a positive size inside the platform's coordinate range.
// Whether it lies on a screen is for the caller to check.
bool IsPlausiblePlacement(const WINDOWPLACEMENT& placement);

bool IsMinimizedShowCommand(uint32_t showCmd);

// Adjusts the show command by the profile's override: 1 keeps it, 2 normal, 3 maximised,
// 4 minimised; any other value brings a window saved minimised back as it was before it was
// minimised, maximised or normal.
void ApplyShowOverride(WINDOWPLACEMENT& placement, int showOverride);
