// Drawing contexts: every view draws, and reads the mouse, through one.
#pragma once

#include "fxgui/ctypes.h"

#include <cairo.h>

#include <string>

namespace fxwin
{
class Window;
}

//-----------------------------------------------------------------------------
class CDrawContext : public CReferenceCounter
{
public:
    // `systemContext` is a cairo context supplied by whoever asks for a draw
    // (drawn into directly, its state saved and restored); `window` is the
    // platform window the frame lives in. Either may be null.
    CDrawContext(CFrame* frame, void* systemContext, void* window = nullptr);
    ~CDrawContext() override;

    int32_t forget() override;
    CDrawContext* remember() override
    {
        CReferenceCounter::remember();
        return this;
    }
#if !FX_GUI_LEGACY
    // A snapshot of the pixels as a new image surface (owned by the
    // caller), or null; a window context has none.
    virtual cairo_surface_t* getCGImage();
#endif
    // The pixel map for block copies (an image surface, not owned), or null.
    virtual cairo_surface_t* getBitmap();
    virtual void releaseBitmap();
    virtual void* getPort();

    //-- lines and shapes
    void moveTo(const CPoint& point);
    void lineTo(const CPoint& point);
    void polyLine(const CPoint* points, int32_t numberOfPoints);
    void fillPolygon(const CPoint* points, int32_t numberOfPoints);
    void fillRect(const CRect& rect);
#if FX_GUI_LEGACY
    // The older build draws outlines only, and fills ellipses only.
    void drawRect(const CRect& rect)
    {
        drawRectStyled(rect, kDrawStroked);
    }
    void drawEllipse(const CRect& rect)
    {
        drawEllipseStyled(rect, kDrawStroked);
    }
#else
    void drawLines(const CPoint* points, int32_t numberOfLines);
    void drawPolygon(const CPoint* points, int32_t numberOfPoints,
                     CDrawStyle drawStyle = kDrawStroked)
    {
        drawPolygonStyled(points, numberOfPoints, drawStyle);
    }
    void drawRect(const CRect& rect, CDrawStyle drawStyle = kDrawStroked)
    {
        drawRectStyled(rect, drawStyle);
    }
    void drawEllipse(const CRect& rect, CDrawStyle drawStyle = kDrawStroked)
    {
        drawEllipseStyled(rect, drawStyle);
    }
    void drawArc(const CRect& rect, float startAngle, float endAngle,
                 CDrawStyle drawStyle = kDrawStroked);
#endif
    void fillEllipse(const CRect& rect);
    void drawArc(const CRect& rect, const CPoint& point1, const CPoint& point2);
    void fillArc(const CRect& rect, const CPoint& point1, const CPoint& point2);
    void drawPoint(const CPoint& point, CColor color);
    // Reads a pixel back; black when there are no readable pixels.
    CColor getPoint(const CPoint& point);
    // Fills the area of the colour under `start` that touches it, in the
    // fill colour.
    void floodFill(const CPoint& start);

#if FX_GUI_LEGACY
    void fillPort(const CColor& color);
    void lineAA(float x1, float y1, float x2, float y2);
    void fillCircle(float x, float y, float radius);
    void fillArcAA(float x, float y, float radius, float startTurn, float endTurn);
#endif

    //-- state
    void setLineStyle(CLineStyle style);
    CLineStyle getLineStyle() const
    {
        return lineStyle;
    }
    void setLineWidth(CCoord width);
    CCoord getLineWidth() const
    {
        return frameWidth;
    }
    void setDrawMode(CDrawMode mode);
    CDrawMode getDrawMode() const
    {
        return drawMode;
    }
    void setFrameColor(const CColor color);
    CColor getFrameColor() const
    {
        return frameColor;
    }
    void setFillColor(const CColor color);
    CColor getFillColor() const
    {
        return fillColor;
    }
    void setFontColor(const CColor color);
    CColor getFontColor() const
    {
        return fontColor;
    }
    void setFont(CFont fontID, const int32_t size = 0, int32_t style = 0);
    CFont getFont() const
    {
        return fontId;
    }
    int32_t getFontSize() const
    {
        return fontSize;
    }
    int32_t getFontStyle() const
    {
        return fontStyle;
    }
    // The face name the current font was selected by ("Helvetica Bold").
    const std::string& getFontFaceName() const
    {
        return fontFaceName;
    }

    void setClipRect(const CRect& clip);
    CRect& getClipRect(CRect& clip) const; // without `offset`
    void resetClipRect();

    void setWindowOffset(const CPoint& point)
    {
        windowOffset = point;
    }
    CPoint getWindowOffset() const
    {
        return windowOffset;
    }
    void setOffset(const CPoint& point)
    {
        offset = point;
    }
    CPoint getOffset() const
    {
        return offset;
    }
    CPoint getPenPosition() const
    {
        return penLoc;
    }

    //-- text
    CCoord getStringWidth(const char* text);
    void drawString(const char* text, const CRect& rect, const int16_t opaque = 0,
                    const CHoriTxtAlign hAlign = kAlignCenter);

    //-- mouse and keyboard state
    void getMouseLocation(CPoint& point);
    int32_t getMouseButtons();
    bool waitDoubleClick();
    bool waitDrag();

    //-- backend access
#if FX_GUI_LEGACY
    // The older build hands out no backend context; its bitmaps and
    // offscreen copies still draw through one.
protected:
    friend class CBitmap;
    friend class COffscreenContext;
#endif
    // The cairo context with its state saved and the clip applied, or null.
    // Coordinates are always y-down here; the flag is kept for callers that
    // state what they need.
    cairo_t* beginCGContext(bool swapYAxis = true);
    void releaseCGContext(cairo_t* context);
#if FX_GUI_LEGACY
public:
#endif
    void synchronizeCGContext();
    bool hasBackend() const
    {
        return cr != nullptr;
    }

    CFrame* getFrame() const
    {
        return pFrame;
    }
    fxwin::Window* getWindow() const
    {
        return window;
    }

    CPoint offset; // added to every coordinate a drawing operation is given

    // 1/64 degree, counter-clockwise on screen from 3 o'clock, 0..23039.
    static int32_t convertPoint2Angle(const CPoint& centre, const CPoint& point);

protected:
    CDrawContext(); // for COffscreenContext
    void initDefaults();
    void attachSurface(cairo_surface_t* surface);
    void applyLineState(cairo_t* context) const;
    // Adds the ellipse inscribed in `rect` (offset applied) as a path segment
    // from `start` to `end` degrees, counter-clockwise on screen.
    void addEllipseArc(cairo_t* context, double cx, double cy, double rx, double ry,
                       double startDegrees, double endDegrees, bool newSubPath) const;
    void drawPath(cairo_t* context, CDrawStyle style, bool strokeOffset = true);
    void drawPolygonStyled(const CPoint* points, int32_t numberOfPoints, CDrawStyle style);
    void drawRectStyled(const CRect& rect, CDrawStyle style);
    void drawEllipseStyled(const CRect& rect, CDrawStyle style);
    void strokeShift(cairo_t* context) const;
    void setSourceColor(cairo_t* context, const CColor& color) const;
    void selectFont(cairo_t* context) const;
    std::string toUtf8(const char* text) const;

    CFrame* pFrame = nullptr;
    fxwin::Window* window = nullptr;
    cairo_t* cr = nullptr;
    cairo_t* hostContext = nullptr; // supplied by the caller, not owned
    bool ownsCr = false;
    bool needToSynchronize = false;
    bool isCurrentOfFrame = false;

    CPoint windowOffset;
    CPoint penLoc;
    CRect clipRect;

    int32_t fontSize = -1;
    int32_t fontStyle = 0;
    CFont fontId = kNumStandardFonts;
    std::string fontFaceName;
    std::string fontFamily;
    CColor fontColor{};
    CColor frameColor{};
    CColor fillColor{};
    CCoord frameWidth = 1;
    CLineStyle lineStyle = kLineSolid;
    CDrawMode drawMode = kDrawCopy;
};

//-----------------------------------------------------------------------------
// A drawing context on a pixel buffer (ARGB, 8 bits per component,
// premultiplied) that containers and controls draw into before copying to
// the screen.
class COffscreenContext : public CDrawContext
{
public:
    COffscreenContext(CFrame* frame, int32_t width, int32_t height,
                      const CColor backgroundColor = kBlackCColor);
    // Draws into `bitmap` itself when `drawInBitmap` is true, else into a
    // copy of it; 20 x 20 when no bitmap is given.
    COffscreenContext(CDrawContext* context, CBitmap* bitmap, bool drawInBitmap = false);
    ~COffscreenContext() override;

#if !FX_GUI_LEGACY
    cairo_surface_t* getCGImage() override;
#endif
    cairo_surface_t* getBitmap() override;
    void releaseBitmap() override;

    // Places buffer pixel `srcOffset` on the top-left corner of `destRect`
    // and changes only `destRect` within the destination's clip.
    void copyFrom(CDrawContext* destination, CRect destRect, CPoint srcOffset = CPoint(0, 0));
    // Block copy from a bitmap-backed context into `destination`.
    void copyTo(CDrawContext* destination, CRect srcRect, CPoint destOffset = CPoint(0, 0));

    int32_t getWidth() const
    {
        return width;
    }
    int32_t getHeight() const
    {
        return height;
    }
    cairo_surface_t* getSurface() const
    {
        return surface;
    }

protected:
    CBitmap* pBitmap = nullptr;
    cairo_surface_t* surface = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    bool bDestroyPixmap = false;
    bool drawsInBitmap = false;
};
