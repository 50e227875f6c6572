// Geometry, colours, fonts and reference counting of the GUI toolkit.
//
// The toolkit comes in two builds from these sources: the current one and,
// with FX_GUI_LEGACY defined to 1, the older one carried by the Audio Unit
// bundles. Where they differ the code says so next to the switch.
#pragma once

#include <cstdint>

#ifndef FX_GUI_LEGACY
#define FX_GUI_LEGACY 0
#endif

class CFrame;
class CView;
class CViewContainer;
class CBitmap;
class CDrawContext;
class COffscreenContext;
class CDragContainer;

using CCoord = int32_t;

//-----------------------------------------------------------------------------
struct CPoint
{
    CPoint(CCoord x = 0, CCoord y = 0) : x(x), y(y) {}

    CPoint& operator()(CCoord nx, CCoord ny)
    {
        x = nx;
        y = ny;
        return *this;
    }
    bool operator==(const CPoint& other) const { return x == other.x && y == other.y; }
    bool operator!=(const CPoint& other) const { return !(*this == other); }
    CPoint& offset(CCoord dx, CCoord dy)
    {
        x += dx;
        y += dy;
        return *this;
    }
    bool isInside(const struct CRect& rect) const;

    CCoord x, y;
};

//-----------------------------------------------------------------------------
struct CRect
{
    CRect(CCoord left = 0, CCoord top = 0, CCoord right = 0, CCoord bottom = 0)
        : left(left), top(top), right(right), bottom(bottom)
    {
    }

    CRect& operator()(CCoord l, CCoord t, CCoord r, CCoord b)
    {
        left = l;
        top = t;
        right = r;
        bottom = b;
        return *this;
    }
    bool operator==(const CRect& other) const
    {
        return left == other.left && top == other.top && right == other.right &&
               bottom == other.bottom;
    }
    bool operator!=(const CRect& other) const { return !(*this == other); }

    CCoord width() const { return right - left; }
    CCoord height() const { return bottom - top; }
    CCoord getWidth() const { return width(); }
    CCoord getHeight() const { return height(); }
    CPoint topLeft() const { return CPoint(left, top); }

    CRect& offset(CCoord dx, CCoord dy)
    {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
        return *this;
    }
    // Moves the top-left corner to (x, y), keeping the size.
    CRect& moveTo(CCoord x, CCoord y)
    {
        const CCoord w = width(), h = height();
        left = x;
        top = y;
        right = x + w;
        bottom = y + h;
        return *this;
    }
    CRect& inset(CCoord dx, CCoord dy)
    {
        left += dx;
        top += dy;
        right -= dx;
        bottom -= dy;
        return *this;
    }
    CRect& setWidth(CCoord w)
    {
        right = left + w;
        return *this;
    }
    CRect& setHeight(CCoord h)
    {
        bottom = top + h;
        return *this;
    }

    // Right and bottom edges are outside.
    bool pointInside(const CPoint& p) const
    {
        return left <= p.x && p.x < right && top <= p.y && p.y < bottom;
    }
    bool isEmpty() const { return !(left < right && top < bottom); }
    // Intersection in place; an empty result keeps its top-left corner.
    CRect& bound(const CRect& r)
    {
        if (left < r.left)
            left = r.left;
        if (top < r.top)
            top = r.top;
        if (right > r.right)
            right = r.right;
        if (bottom > r.bottom)
            bottom = r.bottom;
        if (bottom < top)
            bottom = top;
        if (right < left)
            right = left;
        return *this;
    }
    // Rectangles that only share an edge overlap.
    bool rectOverlap(const CRect& r) const
    {
        return right >= r.left && r.right >= left && bottom >= r.top && r.bottom >= top;
    }

    CCoord left, top, right, bottom;
};

inline bool CPoint::isInside(const CRect& rect) const
{
    return rect.pointInside(*this);
}

//-----------------------------------------------------------------------------
// The platform's 16-bit rectangle and colour, for code that talks to the
// platform layer in its own terms.
struct Rect
{
    int16_t top, left, bottom, right;
};
struct RGBColor
{
    uint16_t red, green, blue;
};

void RectNormalize(Rect& rect);
Rect& CRect2Rect(const CRect& cr, Rect& rr);
CRect& Rect2CRect(const Rect& rr, CRect& cr);

//-----------------------------------------------------------------------------
struct CColor
{
    uint8_t red, green, blue, alpha;

    bool operator==(const CColor& other) const
    {
        return red == other.red && green == other.green && blue == other.blue &&
               alpha == other.alpha;
    }
    bool operator!=(const CColor& other) const { return !(*this == other); }
};

RGBColor& CColor2RGBColor(const CColor& cc, RGBColor& rgb);
CColor& RGBColor2CColor(const RGBColor& rgb, CColor& cc);

// The fourth byte is opacity in the current build; the older build keeps 0
// there and draws everything opaque.
#if FX_GUI_LEGACY
#define FX_GUI_OPAQUE_BYTE 0
#else
#define FX_GUI_OPAQUE_BYTE 255
#endif

constexpr CColor kTransparentCColor = {255, 255, 255, 0};
constexpr CColor kBlackCColor = {0, 0, 0, FX_GUI_OPAQUE_BYTE};
constexpr CColor kWhiteCColor = {255, 255, 255, FX_GUI_OPAQUE_BYTE};
constexpr CColor kGreyCColor = {127, 127, 127, FX_GUI_OPAQUE_BYTE};
constexpr CColor kRedCColor = {255, 0, 0, FX_GUI_OPAQUE_BYTE};
constexpr CColor kGreenCColor = {0, 255, 0, FX_GUI_OPAQUE_BYTE};
constexpr CColor kBlueCColor = {0, 0, 255, FX_GUI_OPAQUE_BYTE};
constexpr CColor kYellowCColor = {255, 255, 0, FX_GUI_OPAQUE_BYTE};
constexpr CColor kCyanCColor = {0, 255, 255, FX_GUI_OPAQUE_BYTE};
constexpr CColor kMagentaCColor = {255, 0, 255, FX_GUI_OPAQUE_BYTE};

//-----------------------------------------------------------------------------
enum CFont
{
    kFontSystem = 0,
    kFontVeryBig,
    kFontBig,
    kFontNormal,
    kFontSmall,
    kFontSmaller,
    kFontVerySmall,
    kFontSymbol,
    kNumStandardFonts
};

extern const char* const gMacXfontNames[kNumStandardFonts];
extern const int32_t gStandardFontSize[kNumStandardFonts];

enum CTxtFace
{
    kNormalFace = 0,
    kFaceBold = 1,
    kFaceItalic = 2,
    kFaceUnderline = 4,
};

enum CHoriTxtAlign
{
    kAlignLeft = 0,
    kAlignCenter,
    kAlignRight
};

enum CLineStyle
{
    kLineSolid = 0,
    kLineOnOff
};

enum CDrawMode
{
    kDrawCopy = 0,
    kDrawOr,
    kDrawXor,
    kDrawAntialias
};

enum CDrawStyle
{
    kDrawStroked = 0,
    kDrawFilled,
    kDrawFilledAndStroked
};

// Mouse buttons and modifiers, one bit set.
enum CButton
{
    kButtonLeft = 1,
    kButtonMiddle = 2,
    kButtonRight = 4,
    kModShift = 8,
    kModCommand = 16,
    kModAlt = 32,
    kModControl = 64,
};

enum CMouseWheelAxis
{
    kMouseWheelHorizontal = 0,
    kMouseWheelVertical = 1,
};

enum CCursorType
{
    kCursorDefault = 0,
    kCursorWait,
    kCursorHSize,
    kCursorVSize,
    kCursorSizeAll,
    kCursorNESWSize,
    kCursorNWSESize,
    kCursorCopy,
    kCursorNotAllowed,
    kCursorHand
};

//-----------------------------------------------------------------------------
// Reference counting: the creator owns the first reference; whoever stores a
// pointer to a shared object remembers it and forgets it when letting go.
class CReferenceCounter
{
public:
    CReferenceCounter() = default;
    CReferenceCounter(const CReferenceCounter&) = delete;
    CReferenceCounter& operator=(const CReferenceCounter&) = delete;
    virtual ~CReferenceCounter() = default;

    // Drops one reference; the object is destroyed when the last one goes.
    // Returns the new count.
    virtual int32_t forget()
    {
        const int32_t count = --nbReference;
        if (count == 0)
            delete this;
        return count;
    }
    virtual CReferenceCounter* remember()
    {
        ++nbReference;
        return this;
    }
    int32_t getNbReference() const { return nbReference; }

private:
    int32_t nbReference = 1;
};
