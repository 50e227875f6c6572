// Geometry conversions and the font tables.
#include "fxgui/ctypes.h"

#include <utility>

const char* const gMacXfontNames[kNumStandardFonts] = {
    "Helvetica", "Helvetica", "Helvetica", "Helvetica",
    "Helvetica", "Helvetica", "Helvetica", "Symbol",
};

const int32_t gStandardFontSize[kNumStandardFonts] = {12, 18, 14, 12, 10, 9, 9, 12};

void RectNormalize(Rect& rect)
{
    if (rect.left > rect.right)
        std::swap(rect.left, rect.right);
    if (rect.top > rect.bottom)
        std::swap(rect.top, rect.bottom);
}

Rect& CRect2Rect(const CRect& cr, Rect& rr)
{
    rr.left = static_cast<int16_t>(cr.left);
    rr.top = static_cast<int16_t>(cr.top);
    rr.right = static_cast<int16_t>(cr.right);
    rr.bottom = static_cast<int16_t>(cr.bottom);
    RectNormalize(rr);
    return rr;
}

CRect& Rect2CRect(const Rect& rr, CRect& cr)
{
    cr(rr.left, rr.top, rr.right, rr.bottom);
    return cr;
}

RGBColor& CColor2RGBColor(const CColor& cc, RGBColor& rgb)
{
    rgb.red = static_cast<uint16_t>(cc.red * 257);
    rgb.green = static_cast<uint16_t>(cc.green * 257);
    rgb.blue = static_cast<uint16_t>(cc.blue * 257);
    return rgb;
}

CColor& RGBColor2CColor(const RGBColor& rgb, CColor& cc)
{
    cc.red = static_cast<uint8_t>(rgb.red / 257);
    cc.green = static_cast<uint8_t>(rgb.green / 257);
    cc.blue = static_cast<uint8_t>(rgb.blue / 257);
    return cc;
}
