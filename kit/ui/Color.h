// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace kit {

// An RGBA colour, components 0…1, not premultiplied.
struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 0;

    constexpr Color() = default;
    constexpr Color(double r, double g, double b, double a = 1)
        : red(r)
        , green(g)
        , blue(b)
        , alpha(a)
    {
    }

    bool operator==(const Color&) const = default;

    static constexpr Color rgba(double r, double g, double b, double a = 1) { return { r, g, b, a }; }
    // From 0…255 components.
    static constexpr Color rgb255(int r, int g, int b, double a = 1) { return { r / 255.0, g / 255.0, b / 255.0, a }; }
    // 0xRRGGBB.
    static constexpr Color hex(std::uint32_t rgb, double a = 1)
    {
        return rgb255(int((rgb >> 16) & 0xff), int((rgb >> 8) & 0xff), int(rgb & 0xff), a);
    }
    static constexpr Color white(double w, double a = 1) { return { w, w, w, a }; }

    static constexpr Color clear() { return { 0, 0, 0, 0 }; }
    static constexpr Color black() { return { 0, 0, 0, 1 }; }
    static constexpr Color white() { return { 1, 1, 1, 1 }; }
    static constexpr Color lightGray() { return { 2.0 / 3, 2.0 / 3, 2.0 / 3, 1 }; }
    static constexpr Color gray() { return { 0.5, 0.5, 0.5, 1 }; }
    static constexpr Color darkGray() { return { 1.0 / 3, 1.0 / 3, 1.0 / 3, 1 }; }
    static constexpr Color systemRed() { return { 1, 59 / 255.0, 48 / 255.0, 1 }; }
    static constexpr Color systemGreen() { return { 76 / 255.0, 217 / 255.0, 100 / 255.0, 1 }; }
    // The default tint of controls.
    static constexpr Color systemBlue() { return { 0, 122 / 255.0, 1, 1 }; }

    constexpr Color withAlpha(double a) const { return { red, green, blue, a }; }
    bool isClear() const { return alpha <= 0; }
    // Straight linear interpolation of the components, for animations.
    constexpr Color mixed(const Color& to, double t) const
    {
        return { red + (to.red - red) * t, green + (to.green - green) * t, blue + (to.blue - blue) * t,
            alpha + (to.alpha - alpha) * t };
    }
};

} // namespace kit
