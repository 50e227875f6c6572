// Redraw costs of a plug-in-sized frame: a full redraw, one dirty control,
// and an idle pass with nothing to do.
#include "fxgui/fxgui.h"
#include "fxwindow/window.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{

constexpr CCoord kKnob = 64; // one film-strip frame
constexpr int kStripFrames = 31;

// A knob-like view showing one frame of a vertical film strip.
class StripView : public CView
{
public:
    StripView(const CRect& size, CBitmap* strip) : CView(size), strip(strip) {}
    void draw(CDrawContext* context) override
    {
        strip->drawTransparent(context, size, CPoint(0, frame * kKnob));
        setDirty(false);
    }
    CBitmap* strip;
    int frame = 0;
};

// Paints a bitmap with something that is not flat, so that drawing it costs
// what a real picture costs.
void paint(CBitmap* bitmap, CFrame* frame, CColor a, CColor b)
{
    CDrawContext probe(frame, nullptr, nullptr);
    COffscreenContext into(&probe, bitmap, true);
    into.setFillColor(a);
    into.fillRect(CRect(0, 0, bitmap->getWidth(), bitmap->getHeight()));
    into.setFillColor(b);
    into.setDrawMode(kDrawAntialias);
    for (CCoord y = 0; y < bitmap->getHeight(); y += kKnob)
        into.fillEllipse(CRect(8, y + 8, kKnob - 8, y + kKnob - 8));
}

struct Editor
{
    Editor()
    {
        frame = new CFrame(CRect(0, 0, 400, 300), fxwin::Window::createHeadless(400, 300), nullptr);
        background = new CBitmap(*frame, 400, 300);
        paint(background, frame, kGreyCColor, kBlueCColor);
        strip = new CBitmap(*frame, kKnob, kKnob * kStripFrames);
        paint(strip, frame, kWhiteCColor, kRedCColor);
        frame->setBackground(background);
        for (int i = 0; i < 10; ++i)
        {
            const CCoord x = 10 + (i % 5) * 76, y = 40 + (i / 5) * 120;
            auto* view = new StripView(CRect(x, y, x + kKnob, y + kKnob), strip);
            views.push_back(view);
            frame->addView(view);
        }
        frame->idle(); // the first draw
    }
    ~Editor()
    {
        frame->forget();
        background->forget();
        strip->forget();
    }
    CFrame* frame;
    CBitmap* background;
    CBitmap* strip;
    std::vector<StripView*> views;
};

void BM_FullRedraw(benchmark::State& state)
{
    Editor editor;
    for (auto _ : state)
    {
        CDrawContext* context = editor.frame->createDrawContext();
        editor.frame->draw(context);
        context->forget();
    }
}
BENCHMARK(BM_FullRedraw)->Unit(benchmark::kMicrosecond);

void BM_SingleDirtyControl(benchmark::State& state)
{
    Editor editor;
    int step = 0;
    for (auto _ : state)
    {
        StripView* knob = editor.views[3];
        knob->frame = (++step) % kStripFrames;
        knob->setDirty(true);
        editor.frame->idle();
    }
}
BENCHMARK(BM_SingleDirtyControl)->Unit(benchmark::kMicrosecond);

void BM_IdleNothingDirty(benchmark::State& state)
{
    Editor editor;
    for (auto _ : state)
        editor.frame->idle();
}
BENCHMARK(BM_IdleNothingDirty);

} // namespace
