// The drawing context on cairo.
#include "fxgui/cdrawcontext.h"

#include "fxgui/cbitmap.h"
#include "fxgui/cframe.h"
#include "fxwindow/window.h"

#include <fontconfig/fontconfig.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace
{

constexpr double kPi = 3.14159265358979323846;
// How long a second click may follow the first to make a double click.
constexpr double kDoubleClickSeconds = 0.4;

CRect defaultClip(CFrame* frame)
{
    if (!frame)
        return CRect(0, 0, 1000, 1000);
    CRect size;
    frame->getViewSize(size);
    return size;
}

bool isValidUtf8(const unsigned char* s)
{
    while (*s)
    {
        int extra = 0;
        if (*s < 0x80)
            extra = 0;
        else if ((*s & 0xe0) == 0xc0 && *s >= 0xc2)
            extra = 1;
        else if ((*s & 0xf0) == 0xe0)
            extra = 2;
        else if ((*s & 0xf8) == 0xf0 && *s <= 0xf4)
            extra = 3;
        else
            return false;
        ++s;
        for (int i = 0; i < extra; ++i, ++s)
        {
            if ((*s & 0xc0) != 0x80)
                return false;
        }
    }
    return true;
}

#if FX_GUI_LEGACY
// The older build prefers "Verdana" when a font of that family is installed.
const char* legacyFamily()
{
    static const char* family = []
    {
        const char* chosen = "Helvetica";
        if (!FcInit())
            return chosen;
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("Verdana"));
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        FcChar8* name = nullptr;
        if (match && FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch &&
            strcmp(reinterpret_cast<const char*>(name), "Verdana") == 0)
            chosen = "Verdana";
        if (match)
            FcPatternDestroy(match);
        FcPatternDestroy(pattern);
        return chosen;
    }();
    return family;
}
#endif

} // namespace

//-----------------------------------------------------------------------------
CDrawContext::CDrawContext() {}

CDrawContext::CDrawContext(CFrame* frame, void* systemContext, void* windowPointer)
    : pFrame(frame), window(static_cast<fxwin::Window*>(windowPointer))
{
    clipRect = defaultClip(frame);
    if (frame && (systemContext || window))
    {
        // The frame fills its own window, so its origin is the window's.
        windowOffset(0, 0);
        CRect size;
        frame->getViewSize(size);
        clipRect(0, 0, size.width(), size.height());
    }
    if (systemContext)
    {
        hostContext = static_cast<cairo_t*>(systemContext);
        cr = hostContext;
        cairo_save(cr);
    }
    else if (window && window->surface())
    {
        cr = cairo_create(window->surface());
        ownsCr = true;
    }
    if (cr && frame)
    {
        frame->setCurrentContext(this);
        isCurrentOfFrame = true;
    }
    initDefaults();
}

void CDrawContext::initDefaults()
{
    frameColor = kWhiteCColor;
    lineStyle = kLineSolid;
    frameWidth = 1;
    fillColor = kBlackCColor;
    fontColor = kWhiteCColor;
    drawMode = kDrawCopy;
    setFont(kFontSystem);
}

CDrawContext::~CDrawContext()
{
    if (cr)
    {
        synchronizeCGContext();
        if (hostContext)
            cairo_restore(hostContext);
        if (ownsCr)
            cairo_destroy(cr);
        cr = nullptr;
    }
    if (isCurrentOfFrame && pFrame && pFrame->getCurrentContext() == this)
        pFrame->setCurrentContext(nullptr);
}

int32_t CDrawContext::forget()
{
    synchronizeCGContext();
    return CReferenceCounter::forget();
}

#if !FX_GUI_LEGACY
cairo_surface_t* CDrawContext::getCGImage()
{
    return nullptr;
}
#endif

cairo_surface_t* CDrawContext::getBitmap()
{
    if (!cr)
        return nullptr;
    cairo_surface_t* target = cairo_get_target(cr);
    if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE)
        return nullptr;
    cairo_surface_flush(target);
    return target;
}

void CDrawContext::releaseBitmap()
{
    if (cairo_surface_t* bitmap = getBitmap())
        cairo_surface_mark_dirty(bitmap);
}

void* CDrawContext::getPort()
{
    return window;
}

//-----------------------------------------------------------------------------
// Backend bracket

cairo_t* CDrawContext::beginCGContext(bool)
{
    if (!cr)
        return nullptr;
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, clipRect.left, clipRect.top, clipRect.width(), clipRect.height());
    cairo_clip(cr);
#if FX_GUI_LEGACY
    // Pen transfer modes: or and xor act bit by bit on the pixels; lighten
    // and difference give the same result for black and white pens.
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    if (drawMode == kDrawOr)
        cairo_set_operator(cr, CAIRO_OPERATOR_LIGHTEN);
    else if (drawMode == kDrawXor)
        cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
#else
    cairo_set_antialias(cr, drawMode == kDrawAntialias ? CAIRO_ANTIALIAS_DEFAULT
                                                       : CAIRO_ANTIALIAS_NONE);
#endif
    return cr;
}

void CDrawContext::releaseCGContext(cairo_t* context)
{
    if (!context)
        return;
    cairo_restore(context);
    needToSynchronize = true;
}

void CDrawContext::synchronizeCGContext()
{
    if (!cr || !needToSynchronize)
        return;
    cairo_surface_flush(cairo_get_target(cr));
    if (window && ownsCr)
        window->flush();
    needToSynchronize = false;
}

void CDrawContext::setSourceColor(cairo_t* context, const CColor& color) const
{
#if FX_GUI_LEGACY
    const double alpha = 1.0; // the older build draws everything opaque
#else
    const double alpha = color.alpha / 255.0;
#endif
    cairo_set_source_rgba(context, color.red / 255.0, color.green / 255.0, color.blue / 255.0,
                          alpha);
}

void CDrawContext::applyLineState(cairo_t* context) const
{
    cairo_set_line_width(context, frameWidth);
    cairo_set_line_cap(context, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(context, CAIRO_LINE_JOIN_MITER);
    if (lineStyle == kLineOnOff)
    {
#if FX_GUI_LEGACY
        const double dash[2] = {1.0, 1.0}; // a dotted pen pattern
#else
        const double dash[2] = {static_cast<double>(frameWidth), static_cast<double>(frameWidth)};
#endif
        cairo_set_dash(context, dash, 2, 0);
    }
    else
    {
        cairo_set_dash(context, nullptr, 0, 0);
    }
}

// Without antialiasing a line of odd width lies across two pixel rows; it is
// moved so that it covers the pixel right of and above its coordinate, which
// puts a rectangle's outline path (top + 1, bottom, left, right - 1) on the
// rectangle's own edge pixels.
void CDrawContext::strokeShift(cairo_t* context) const
{
    if (drawMode == kDrawAntialias && !FX_GUI_LEGACY)
        return;
    if (frameWidth % 2 == 0)
        return;
    cairo_translate(context, 0.5, -0.5);
}

void CDrawContext::drawPath(cairo_t* context, CDrawStyle style, bool strokeOffset)
{
    cairo_path_t* path = cairo_copy_path(context);
    if (style == kDrawFilled || style == kDrawFilledAndStroked)
    {
        setSourceColor(context, fillColor);
        cairo_fill(context);
    }
    if (style == kDrawStroked || style == kDrawFilledAndStroked)
    {
        cairo_new_path(context);
        cairo_save(context);
        if (strokeOffset)
            strokeShift(context);
        cairo_append_path(context, path);
        cairo_restore(context);
        setSourceColor(context, frameColor);
        applyLineState(context);
        cairo_stroke(context);
    }
    cairo_new_path(context);
    cairo_path_destroy(path);
}

//-----------------------------------------------------------------------------
// Lines and shapes

void CDrawContext::moveTo(const CPoint& point)
{
    penLoc(point.x + offset.x, point.y + offset.y);
}

void CDrawContext::lineTo(const CPoint& point)
{
    const CPoint end(point.x + offset.x, point.y + offset.y);
    if (cairo_t* c = beginCGContext())
    {
        cairo_move_to(c, penLoc.x, penLoc.y);
        cairo_line_to(c, end.x, end.y);
        drawPath(c, kDrawStroked);
        releaseCGContext(c);
    }
    penLoc = end;
}

#if !FX_GUI_LEGACY
void CDrawContext::drawLines(const CPoint* points, int32_t numberOfLines)
{
    if (!points || numberOfLines <= 0)
        return;
    cairo_t* c = beginCGContext();
    if (!c)
        return;
    for (int32_t i = 0; i < numberOfLines; ++i)
    {
        cairo_move_to(c, points[2 * i].x + offset.x, points[2 * i].y + offset.y);
        cairo_line_to(c, points[2 * i + 1].x + offset.x, points[2 * i + 1].y + offset.y);
    }
    drawPath(c, kDrawStroked);
    releaseCGContext(c);
}

#endif

void CDrawContext::drawPolygonStyled(const CPoint* points, int32_t numberOfPoints,
                                     CDrawStyle drawStyle)
{
    if (!points || numberOfPoints <= 0)
        return;
    cairo_t* c = beginCGContext();
    if (!c)
        return;
    cairo_move_to(c, points[0].x + offset.x, points[0].y + offset.y);
    for (int32_t i = 1; i < numberOfPoints; ++i)
        cairo_line_to(c, points[i].x + offset.x, points[i].y + offset.y);
    drawPath(c, drawStyle);
    releaseCGContext(c);
}

void CDrawContext::polyLine(const CPoint* points, int32_t numberOfPoints)
{
    drawPolygonStyled(points, numberOfPoints, kDrawStroked);
}

void CDrawContext::fillPolygon(const CPoint* points, int32_t numberOfPoints)
{
    drawPolygonStyled(points, numberOfPoints, kDrawFilled);
}

void CDrawContext::drawRectStyled(const CRect& rect, CDrawStyle drawStyle)
{
    cairo_t* c = beginCGContext();
    if (!c)
        return;
    const CCoord l = rect.left + offset.x, t = rect.top + offset.y;
    const CCoord r = rect.right + offset.x, b = rect.bottom + offset.y;
    cairo_move_to(c, l, t + 1);
    cairo_line_to(c, r - 1, t + 1);
    cairo_line_to(c, r - 1, b);
    cairo_line_to(c, l, b);
    cairo_close_path(c);
    drawPath(c, drawStyle);
    releaseCGContext(c);
}

void CDrawContext::fillRect(const CRect& rect)
{
    cairo_t* c = beginCGContext();
    if (!c)
        return;
    cairo_rectangle(c, rect.left + offset.x, rect.top + offset.y, rect.width(), rect.height());
    setSourceColor(c, fillColor);
    cairo_fill(c);
    releaseCGContext(c);
}

void CDrawContext::addEllipseArc(cairo_t* c, double cx, double cy, double rx, double ry,
                                 double startDegrees, double endDegrees, bool newSubPath) const
{
    if (rx <= 0 || ry <= 0)
        return;
    cairo_save(c);
    cairo_translate(c, cx, cy);
    cairo_scale(c, rx, ry);
    if (newSubPath)
        cairo_new_sub_path(c);
    // Counter-clockwise on a y-down screen is decreasing angle for cairo.
    cairo_arc_negative(c, 0, 0, 1.0, -startDegrees * kPi / 180.0, -endDegrees * kPi / 180.0);
    cairo_restore(c);
}

void CDrawContext::drawEllipseStyled(const CRect& rect, CDrawStyle drawStyle)
{
    cairo_t* c = beginCGContext();
    if (!c)
        return;
    const double cx = offset.x + rect.left + rect.width() / 2.0;
    const double cy = offset.y + rect.top + rect.height() / 2.0;
    const CLineStyle savedStyle = lineStyle;
    if (rect.width() == rect.height())
    {
        // Circles are always stroked solid.
        lineStyle = kLineSolid;
        cairo_new_sub_path(c);
        cairo_arc(c, cx, cy, rect.width() / 2.0, 0, 2 * kPi);
    }
    else
    {
        addEllipseArc(c, cx, cy, rect.width() / 2.0, rect.height() / 2.0, 0, 360, true);
    }
    cairo_close_path(c);
    drawPath(c, drawStyle, false);
    lineStyle = savedStyle;
    releaseCGContext(c);
}

void CDrawContext::fillEllipse(const CRect& rect)
{
    drawEllipseStyled(rect, kDrawFilled);
}

#if !FX_GUI_LEGACY
void CDrawContext::drawArc(const CRect& rect, float startAngle, float endAngle,
                           CDrawStyle drawStyle)
{
    cairo_t* c = beginCGContext();
    if (!c)
        return;
    const double cx = offset.x + rect.left + (rect.right - rect.left) / 2;
    const double cy = offset.y + rect.top + (rect.bottom - rect.top) / 2;
    const double rx = (rect.right - rect.left) / 2, ry = (rect.bottom - rect.top) / 2;
    double end = endAngle;
    if (end < startAngle)
        end += 360.0;
    addEllipseArc(c, cx, cy, rx, ry, startAngle, end, true);
    if (drawStyle != kDrawStroked)
        cairo_close_path(c); // a filled arc is closed by its chord
    drawPath(c, drawStyle, false);
    releaseCGContext(c);
}

#endif

int32_t CDrawContext::convertPoint2Angle(const CPoint& centre, const CPoint& point)
{
    if (point.x == centre.x)
        return point.y < centre.y ? 5760 : 17280;
    if (point.y == centre.y)
        return point.x < centre.x ? 11520 : 0;
    const double ratio = static_cast<double>(centre.y - point.y) / (point.x - centre.x);
    const int32_t a = static_cast<int32_t>(std::atan(ratio) * 3666.9298);
    if (point.x < centre.x)
        return a + 11520;
    if (point.y < centre.y)
        return a;
    return a + 23040;
}

void CDrawContext::drawArc(const CRect& rect, const CPoint& point1, const CPoint& point2)
{
    cairo_t* c = beginCGContext();
    if (!c)
        return;
    const CPoint centre(offset.x + (rect.left + rect.right) / 2,
                        offset.y + (rect.top + rect.bottom) / 2);
    const double rx = (rect.right - rect.left) / 2, ry = (rect.bottom - rect.top) / 2;
    if (point1 == point2)
    {
        addEllipseArc(c, centre.x, centre.y, rx, ry, 0, 360, true);
    }
    else
    {
        const CPoint p1(point1.x + offset.x, point1.y + offset.y);
        const CPoint p2(point2.x + offset.x, point2.y + offset.y);
        const int32_t angle1 = convertPoint2Angle(centre, p1) / 64;
        const int32_t angle2 = convertPoint2Angle(centre, p2) / 64;
        int32_t sweep = angle2 - angle1;
        if (sweep < 0)
            sweep += 360;
        if (sweep > 0)
            addEllipseArc(c, centre.x, centre.y, rx, ry, angle1, angle1 + sweep, true);
    }
    drawPath(c, kDrawStroked, false);
    releaseCGContext(c);
}

void CDrawContext::fillArc(const CRect& rect, const CPoint& point1, const CPoint& point2)
{
    cairo_t* c = beginCGContext();
    if (!c)
        return;
    const CPoint centre(offset.x + (rect.left + rect.right) / 2,
                        offset.y + (rect.top + rect.bottom) / 2);
    const double rx = (rect.right - rect.left) / 2, ry = (rect.bottom - rect.top) / 2;
    if (point1 == point2)
    {
        addEllipseArc(c, centre.x, centre.y, rx, ry, 0, 360, true);
    }
    else
    {
        const CPoint p1(point1.x + offset.x, point1.y + offset.y);
        const CPoint p2(point2.x + offset.x, point2.y + offset.y);
        const int32_t angle1 = convertPoint2Angle(centre, p1) / 64;
        int32_t angle2 = convertPoint2Angle(centre, p2) / 64;
        if (angle2 < angle1)
            angle2 += 360;
        addEllipseArc(c, centre.x, centre.y, rx, ry, angle1, angle2, true);
    }
    cairo_close_path(c);
    drawPath(c, kDrawFilled);
    releaseCGContext(c);
}

void CDrawContext::drawPoint(const CPoint& point, CColor color)
{
    const CColor savedColor = frameColor;
    const CCoord savedWidth = frameWidth;
    const CLineStyle savedStyle = lineStyle;
    frameColor = color;
    frameWidth = 1;
    lineStyle = kLineSolid;
    moveTo(point);
    lineTo(CPoint(point.x + 1, point.y));
    frameColor = savedColor;
    frameWidth = savedWidth;
    lineStyle = savedStyle;
}

CColor CDrawContext::getPoint(const CPoint& point)
{
    cairo_surface_t* bitmap = getBitmap();
    const CPoint p(point.x + offset.x, point.y + offset.y);
    if (!bitmap || p.x < 0 || p.y < 0 || p.x >= cairo_image_surface_get_width(bitmap) ||
        p.y >= cairo_image_surface_get_height(bitmap))
        return kBlackCColor;
    const unsigned char* row =
        cairo_image_surface_get_data(bitmap) + p.y * cairo_image_surface_get_stride(bitmap);
    uint32_t pixel = 0;
    std::memcpy(&pixel, row + 4 * p.x, 4);
    CColor color;
    color.alpha = static_cast<uint8_t>(pixel >> 24);
    const auto unpremultiply = [&](uint32_t v) -> uint8_t
    {
        if (color.alpha == 0)
            return 0;
        return static_cast<uint8_t>((v * 255 + color.alpha / 2) / color.alpha);
    };
    if (cairo_image_surface_get_format(bitmap) == CAIRO_FORMAT_RGB24)
        color.alpha = 255;
    color.red = unpremultiply((pixel >> 16) & 0xff);
    color.green = unpremultiply((pixel >> 8) & 0xff);
    color.blue = unpremultiply(pixel & 0xff);
#if FX_GUI_LEGACY
    color.alpha = 0;
#endif
    return color;
}

void CDrawContext::floodFill(const CPoint& start)
{
    cairo_surface_t* bitmap = getBitmap();
    if (!bitmap)
        return;
    const int w = cairo_image_surface_get_width(bitmap);
    const int h = cairo_image_surface_get_height(bitmap);
    const int stride = cairo_image_surface_get_stride(bitmap);
    CRect area(0, 0, w, h);
    area.bound(clipRect);
    const CPoint s(start.x + offset.x, start.y + offset.y);
    if (!area.pointInside(s))
        return;
    unsigned char* data = cairo_image_surface_get_data(bitmap);
    const auto at = [&](int x, int y)
    { return reinterpret_cast<uint32_t*>(data + y * stride) + x; };
    const uint32_t target = *at(s.x, s.y);
    const double a = FX_GUI_LEGACY ? 1.0 : fillColor.alpha / 255.0;
    const auto premultiplied = [&](uint8_t v) { return static_cast<uint32_t>(v * a + 0.5); };
    const uint32_t replacement =
        (static_cast<uint32_t>(a * 255 + 0.5) << 24) | (premultiplied(fillColor.red) << 16) |
        (premultiplied(fillColor.green) << 8) | premultiplied(fillColor.blue);
    if (target == replacement)
        return;
    std::vector<CPoint> stack{s};
    while (!stack.empty())
    {
        const CPoint p = stack.back();
        stack.pop_back();
        if (!area.pointInside(p) || *at(p.x, p.y) != target)
            continue;
        *at(p.x, p.y) = replacement;
        stack.emplace_back(p.x + 1, p.y);
        stack.emplace_back(p.x - 1, p.y);
        stack.emplace_back(p.x, p.y + 1);
        stack.emplace_back(p.x, p.y - 1);
    }
    cairo_surface_mark_dirty(bitmap);
    needToSynchronize = true;
}

#if FX_GUI_LEGACY
void CDrawContext::fillPort(const CColor& color)
{
    cairo_t* c = beginCGContext();
    if (!c)
        return;
    cairo_reset_clip(c);
    setSourceColor(c, color);
    cairo_paint(c);
    releaseCGContext(c);
}

void CDrawContext::lineAA(float x1, float y1, float x2, float y2)
{
    cairo_t* c = beginCGContext();
    if (!c)
        return;
    cairo_set_antialias(c, CAIRO_ANTIALIAS_DEFAULT);
    cairo_move_to(c, x1 + offset.x, y1 + offset.y);
    cairo_line_to(c, x2 + offset.x, y2 + offset.y);
    setSourceColor(c, frameColor);
    applyLineState(c);
    cairo_stroke(c);
    releaseCGContext(c);
}

void CDrawContext::fillCircle(float x, float y, float radius)
{
    cairo_t* c = beginCGContext();
    if (!c)
        return;
    cairo_set_antialias(c, CAIRO_ANTIALIAS_DEFAULT);
    cairo_arc(c, x + offset.x, y + offset.y, radius, 0, 2 * kPi);
    setSourceColor(c, fillColor);
    cairo_fill(c);
    releaseCGContext(c);
}

void CDrawContext::fillArcAA(float x, float y, float radius, float startTurn, float endTurn)
{
    cairo_t* c = beginCGContext();
    if (!c)
        return;
    cairo_set_antialias(c, CAIRO_ANTIALIAS_DEFAULT);
    const double cx = x + offset.x, cy = y + offset.y;
    cairo_move_to(c, cx, cy);
    cairo_arc_negative(c, cx, cy, radius, -startTurn * 2 * kPi, -endTurn * 2 * kPi);
    cairo_close_path(c);
    // The fourth colour byte is read as transparency here, and only here.
    cairo_set_source_rgba(c, fillColor.red / 255.0, fillColor.green / 255.0, fillColor.blue / 255.0,
                          1.0 - fillColor.alpha / 255.0);
    cairo_fill(c);
    releaseCGContext(c);
}
#endif

//-----------------------------------------------------------------------------
// State

void CDrawContext::setLineStyle(CLineStyle style)
{
    lineStyle = style;
}

void CDrawContext::setLineWidth(CCoord width)
{
    frameWidth = width;
}

void CDrawContext::setDrawMode(CDrawMode mode)
{
    drawMode = mode;
}

void CDrawContext::setFrameColor(const CColor color)
{
    frameColor = color;
}

void CDrawContext::setFillColor(const CColor color)
{
    fillColor = color;
}

void CDrawContext::setFontColor(const CColor color)
{
    fontColor = color;
}

void CDrawContext::setFont(CFont fontID, const int32_t size, int32_t style)
{
    if (fontID < 0 || fontID >= kNumStandardFonts)
        fontID = kFontSystem;
    const int32_t newSize = size == 0 ? gStandardFontSize[fontID] : size;
    if (fontID == fontId && newSize == fontSize && style == fontStyle)
        return;
    fontId = fontID;
    fontSize = newSize;
    fontStyle = style;
    fontFamily = gMacXfontNames[fontID];
#if FX_GUI_LEGACY
    if (fontID != kFontSymbol)
        fontFamily = legacyFamily();
#endif
    fontFaceName = fontFamily;
    if (style & kFaceBold)
        fontFaceName += " Bold";
    if (style & kFaceItalic)
        fontFaceName += " Italic";
    if (style & kFaceUnderline)
        fontFaceName += " Underline";
}

void CDrawContext::selectFont(cairo_t* context) const
{
    cairo_select_font_face(
        context, fontFamily.c_str(),
        (fontStyle & kFaceItalic) ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
        (fontStyle & kFaceBold) ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
#if FX_GUI_LEGACY
    cairo_set_font_size(context, fontSize - 0.5);
#else
    cairo_set_font_size(context, fontSize);
#endif
}

void CDrawContext::setClipRect(const CRect& clip)
{
    clipRect = clip;
    clipRect.offset(offset.x, offset.y);
}

CRect& CDrawContext::getClipRect(CRect& clip) const
{
    clip = clipRect;
    clip.offset(-offset.x, -offset.y);
    return clip;
}

void CDrawContext::resetClipRect()
{
    clipRect = defaultClip(pFrame);
}

//-----------------------------------------------------------------------------
// Text

// Texts are UTF-8; anything that is not valid UTF-8 is read as Latin-1.
std::string CDrawContext::toUtf8(const char* text) const
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    if (isValidUtf8(bytes))
        return text;
    std::string out;
    for (; *bytes; ++bytes)
    {
        if (*bytes < 0x80)
        {
            out += static_cast<char>(*bytes);
            continue;
        }
        out += static_cast<char>(0xc0 | (*bytes >> 6));
        out += static_cast<char>(0x80 | (*bytes & 0x3f));
    }
    return out;
}

CCoord CDrawContext::getStringWidth(const char* text)
{
    if (!cr || !text)
        return 0;
    cairo_save(cr);
    selectFont(cr);
    cairo_text_extents_t extents;
    const std::string utf8 = toUtf8(text);
    cairo_text_extents(cr, utf8.c_str(), &extents);
    cairo_restore(cr);
    return static_cast<CCoord>(extents.x_advance);
}

void CDrawContext::drawString(const char* text, const CRect& rect, const int16_t,
                              const CHoriTxtAlign hAlign)
{
    if (!text)
        return;
    cairo_t* c = beginCGContext();
    if (!c)
        return;
    const CCoord width = getStringWidth(text);
#if FX_GUI_LEGACY
    CCoord x = rect.left;
    if (hAlign == kAlignCenter)
        x = (rect.left + rect.right - width) / 2;
    else if (hAlign == kAlignRight)
        x = rect.right - width;
    CCoord y = rect.bottom - fontSize / 4 + 1;
    if (rect.height() >= fontSize)
        y -= (rect.height() - fontSize) / 2;
    cairo_rectangle(c, rect.left + offset.x, rect.top + offset.y, rect.width(), rect.height());
    cairo_clip(c);
#else
    CCoord x = rect.left + 1;
    if (hAlign == kAlignCenter)
        x = rect.left + (rect.right - rect.left) / 2 - width / 2;
    else if (hAlign == kAlignRight)
        x = rect.right - width;
    CCoord y = rect.bottom + fontSize / 2 - (rect.bottom - rect.top) / 2 - 1;
#endif
    x += offset.x;
    y += offset.y;
    cairo_set_antialias(c, CAIRO_ANTIALIAS_DEFAULT);
    selectFont(c);
    setSourceColor(c, fontColor);
    cairo_move_to(c, x, y);
    const std::string utf8 = toUtf8(text);
    cairo_show_text(c, utf8.c_str());
    if (fontStyle & kFaceUnderline)
    {
        cairo_set_line_width(c, 1.0);
        cairo_move_to(c, x, y + 1.5);
        cairo_line_to(c, x + width, y + 1.5);
        cairo_stroke(c);
    }
    releaseCGContext(c);
}

//-----------------------------------------------------------------------------
// Mouse and keyboard state

void CDrawContext::getMouseLocation(CPoint& point)
{
    if (!window)
    {
        point(0, 0);
        return;
    }
    const fxwin::PointerState pointer = window->pointer();
    point(pointer.x - windowOffset.x, pointer.y - windowOffset.y);
}

int32_t CDrawContext::getMouseButtons()
{
    if (!window)
        return 0;
    const uint32_t state = window->pointer().state;
    int32_t buttons = 0;
    if (state & fxwin::kButton1)
        buttons |= kButtonLeft;
    if (state & fxwin::kButton3)
        buttons |= kButtonRight;
    if (state & fxwin::kButton2)
        buttons |= kButtonMiddle;
    if (state & fxwin::kShift)
        buttons |= kModShift;
    if (state & fxwin::kSuper)
        buttons |= kModCommand;
    if (state & fxwin::kAlt)
        buttons |= kModAlt;
    if (state & fxwin::kControl)
        buttons |= kModControl;
    // A control-click is the secondary click.
    if ((buttons & kButtonLeft) && (buttons & kModControl))
        buttons = (buttons & ~(kButtonLeft | kModControl)) | kButtonRight;
    return buttons;
}

bool CDrawContext::waitDoubleClick()
{
    if (!window)
        return false;
    fxwin::Event event;
    const uint32_t types =
        fxwin::eventBit(fxwin::EventType::buttonPress) | fxwin::eventBit(fxwin::EventType::motion);
    if (!window->takeEvent(types, kDoubleClickSeconds, event,
                           fxwin::kButton1 | fxwin::kButton2 | fxwin::kButton3))
        return false;
    return event.type == fxwin::EventType::buttonPress;
}

bool CDrawContext::waitDrag()
{
    if (!window || !(getMouseButtons() & kButtonLeft))
        return false;
    fxwin::Event event;
    const uint32_t types = fxwin::eventBit(fxwin::EventType::buttonPress) |
                           fxwin::eventBit(fxwin::EventType::buttonRelease) |
                           fxwin::eventBit(fxwin::EventType::motion);
    if (!window->takeEvent(types, -1.0, event, fxwin::kButton1 | fxwin::kButton2 | fxwin::kButton3))
        return false;
    return event.type == fxwin::EventType::motion;
}

//-----------------------------------------------------------------------------
// COffscreenContext

COffscreenContext::COffscreenContext(CFrame* frame, int32_t w, int32_t h,
                                     const CColor backgroundColor)
{
    pFrame = frame;
    width = w;
    height = h;
    clipRect(0, 0, w, h);
    initDefaults();
    if (w <= 0 || h <= 0)
        return;
    surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(surface);
        surface = nullptr;
        return;
    }
    bDestroyPixmap = true;
    cr = cairo_create(surface);
    ownsCr = true;
    const CRect all(0, 0, w, h);
    setFillColor(backgroundColor);
    fillRect(all);
    setFrameColor(backgroundColor);
    drawRect(all);
}

COffscreenContext::COffscreenContext(CDrawContext* context, CBitmap* bitmap, bool drawInBitmap)
{
    pFrame = context ? context->getFrame() : nullptr;
    window = context ? context->getWindow() : nullptr;
    pBitmap = bitmap;
    width = bitmap ? bitmap->getWidth() : 20;
    height = bitmap ? bitmap->getHeight() : 20;
    clipRect(0, 0, width, height);
    initDefaults();
    cairo_surface_t* pixels = bitmap ? bitmap->getHandle() : nullptr;
    if (pBitmap)
        pBitmap->remember();
    if (drawInBitmap && pixels)
    {
        surface = cairo_surface_reference(pixels);
        drawsInBitmap = true;
    }
    else if (width > 0 && height > 0)
    {
        // A private copy of the bitmap, so that drawing has somewhere to go.
        surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        bDestroyPixmap = true;
        if (bitmap)
        {
            cairo_t* copy = cairo_create(surface);
            if (cairo_surface_t* image = bitmap->createCGImage(false))
            {
                cairo_set_source_surface(copy, image, 0, 0);
                cairo_paint(copy);
                cairo_surface_destroy(image);
            }
            cairo_destroy(copy);
        }
    }
    if (!surface)
        return;
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(surface);
        surface = nullptr;
        return;
    }
    cr = cairo_create(surface);
    ownsCr = true;
}

COffscreenContext::~COffscreenContext()
{
    if (cr)
    {
        cairo_destroy(cr);
        cr = nullptr;
    }
    if (surface)
    {
        if (drawsInBitmap)
            cairo_surface_mark_dirty(surface);
        cairo_surface_destroy(surface);
    }
    if (pBitmap)
        pBitmap->forget();
}

#if !FX_GUI_LEGACY
cairo_surface_t* COffscreenContext::getCGImage()
{
    if (!surface)
        return nullptr;
    cairo_surface_flush(surface);
    cairo_surface_t* snapshot = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* c = cairo_create(snapshot);
    cairo_set_source_surface(c, surface, 0, 0);
    cairo_set_operator(c, CAIRO_OPERATOR_SOURCE);
    cairo_paint(c);
    cairo_destroy(c);
    return snapshot;
}
#endif

cairo_surface_t* COffscreenContext::getBitmap()
{
    if (!surface)
        return nullptr;
    cairo_surface_flush(surface);
    return surface;
}

void COffscreenContext::releaseBitmap()
{
    if (surface)
        cairo_surface_mark_dirty(surface);
}

void COffscreenContext::copyFrom(CDrawContext* destination, CRect destRect, CPoint srcOffset)
{
    if (!surface || !destination)
        return;
    cairo_t* c = destination->beginCGContext(false);
    if (!c)
        return;
    cairo_surface_flush(surface);
    destRect.offset(destination->offset.x, destination->offset.y);
    cairo_rectangle(c, destRect.left, destRect.top, destRect.width(), destRect.height());
    cairo_clip(c);
    cairo_set_source_surface(c, surface, destRect.left - srcOffset.x, destRect.top - srcOffset.y);
    cairo_paint(c);
    destination->releaseCGContext(c);
}

void COffscreenContext::copyTo(CDrawContext* destination, CRect srcRect, CPoint destOffset)
{
    if (!drawsInBitmap || !surface || !destination)
        return;
    CRect destRect(destOffset.x, destOffset.y, destOffset.x + srcRect.width(),
                   destOffset.y + srcRect.height());
    copyFrom(destination, destRect, srcRect.topLeft());
}
