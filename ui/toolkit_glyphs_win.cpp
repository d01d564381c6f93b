// Vector stand-ins for the icon-font glyphs this program uses, drawn when no
// icon font ("Segoe Fluent Icons" / "Segoe MDL2 Assets") is installed. Each
// glyph is designed on a 16 x 16 grid and scaled to the style's font size.
#include <cmath>
#include <initializer_list>
#include <vector>

#include "ui/toolkit_win.h"

namespace kalorix {

namespace {

struct Pt {
    float x, y;
};

class GlyphPen {
public:
    GlyphPen(ID2D1RenderTarget* target, ID2D1Factory* factory, ID2D1SolidColorBrush* brush, ID2D1StrokeStyle* round,
             float cx, float cy, float size)
        : target_(target), factory_(factory), brush_(brush), round_(round), unit_(size / 16.0f),
          ox_(cx - size / 2), oy_(cy - size / 2) {
        stroke_ = std::max(1.0f, 1.3f * unit_);
    }

    D2D1_POINT_2F P(float x, float y) const { return D2D1::Point2F(ox_ + x * unit_, oy_ + y * unit_); }

    void Poly(std::initializer_list<Pt> pts, bool closed = false, bool filled = false) {
        Path(std::vector<Pt>(pts), closed, filled);
    }

    void Path(const std::vector<Pt>& pts, bool closed, bool filled) {
        if (pts.size() < 2) return;
        ComPtr<ID2D1PathGeometry> path;
        ComPtr<ID2D1GeometrySink> sink;
        if (SUCCEEDED(factory_->CreatePathGeometry(path.put())) && SUCCEEDED(path->Open(sink.put()))) {
            sink->BeginFigure(P(pts[0].x, pts[0].y), filled ? D2D1_FIGURE_BEGIN_FILLED : D2D1_FIGURE_BEGIN_HOLLOW);
            for (size_t i = 1; i < pts.size(); ++i) sink->AddLine(P(pts[i].x, pts[i].y));
            sink->EndFigure(closed || filled ? D2D1_FIGURE_END_CLOSED : D2D1_FIGURE_END_OPEN);
            if (SUCCEEDED(sink->Close())) {
                if (filled)
                    target_->FillGeometry(path.get(), brush_);
                else
                    target_->DrawGeometry(path.get(), brush_, stroke_, round_);
            }
        }
    }

    void Line(float x1, float y1, float x2, float y2) { target_->DrawLine(P(x1, y1), P(x2, y2), brush_, stroke_, round_); }

    void Box(float x, float y, float w, float h, float r = 1.5f) {
        D2D1_ROUNDED_RECT rr = D2D1::RoundedRect(D2D1::RectF(P(x, y).x, P(x, y).y, P(x + w, y + h).x, P(x + w, y + h).y),
                                                 r * unit_, r * unit_);
        target_->DrawRoundedRectangle(rr, brush_, stroke_);
    }
    void FillBox(float x, float y, float w, float h, float r = 0.5f) {
        D2D1_ROUNDED_RECT rr = D2D1::RoundedRect(D2D1::RectF(P(x, y).x, P(x, y).y, P(x + w, y + h).x, P(x + w, y + h).y),
                                                 r * unit_, r * unit_);
        target_->FillRoundedRectangle(rr, brush_);
    }
    void Circle(float x, float y, float r) {
        target_->DrawEllipse(D2D1::Ellipse(P(x, y), r * unit_, r * unit_), brush_, stroke_);
    }
    void Dot(float x, float y, float r) { target_->FillEllipse(D2D1::Ellipse(P(x, y), r * unit_, r * unit_), brush_); }
    // Arc from a0 to a1 degrees (0 = right, clockwise on screen).
    void Arc(float x, float y, float r, float a0, float a1) {
        std::vector<Pt> pts;
        const int steps = 24;
        for (int i = 0; i <= steps; ++i) {
            float a = (a0 + (a1 - a0) * i / steps) * 3.14159265f / 180.0f;
            pts.push_back({x + r * std::cos(a), y + r * std::sin(a)});
        }
        Path(pts, false, false);
    }

private:
    ID2D1RenderTarget* target_;
    ID2D1Factory* factory_;
    ID2D1SolidColorBrush* brush_;
    ID2D1StrokeStyle* round_;
    float unit_, ox_, oy_, stroke_ = 1;
};

float GlyphSize(TextStyle style) {
    switch (style) {
        case text_style::IconNav: return 16;
        case text_style::IconSmall: return 13;
        case text_style::IconCaption: return 10;
        default: return 13;
    }
}

}  // namespace

bool DrawingToolkit::DrawVectorGlyph(wchar_t glyph, const Rect& rect, TextStyle style, const D2D1_COLOR_F& color) {
    if (!Ready() || !round_) return false;
    ComPtr<ID2D1Factory> factory;
    target_->GetFactory(factory.put());
    if (!factory) return false;
    GlyphPen g(target_.get(), factory.get(), BrushOf(color), round_.get(), rect.x + rect.w / 2, rect.y + rect.h / 2,
               GlyphSize(style));
    bool drawn = true;
    switch (glyph) {
        case L'\uE80F':  // home
            g.Poly({{1.5f, 8}, {8, 2}, {14.5f, 8}});
            g.Poly({{3.5f, 6.5f}, {3.5f, 14}, {12.5f, 14}, {12.5f, 6.5f}});
            g.Poly({{6.5f, 14}, {6.5f, 10}, {9.5f, 10}, {9.5f, 14}});
            break;
        case L'\uE9D9':  // activity
            g.Poly({{1, 9}, {4.5f, 9}, {6.5f, 3.5f}, {9.5f, 13}, {11.5f, 7}, {15, 7}});
            break;
        case L'\uE950':  // processor
            g.Box(3.5f, 3.5f, 9, 9, 1.5f);
            g.FillBox(6, 6, 4, 4, 0.8f);
            for (float p : {6.0f, 8.0f, 10.0f}) {
                g.Line(p, 1, p, 3);
                g.Line(p, 13, p, 15);
                g.Line(1, p, 3, p);
                g.Line(13, p, 15, p);
            }
            break;
        case L'\uEC4A':  // gauge
            g.Arc(8, 10, 6.5f, 180, 360);
            g.Line(8, 10, 11.8f, 5.8f);
            g.Dot(8, 10, 1.4f);
            g.Line(1.5f, 13.5f, 14.5f, 13.5f);
            break;
        case L'\uE713': {  // gear
            g.Circle(8, 8, 4.6f);
            g.Circle(8, 8, 1.9f);
            for (int i = 0; i < 8; ++i) {
                float a = i * 3.14159265f / 4;
                g.Line(8 + 4.9f * std::cos(a), 8 + 4.9f * std::sin(a), 8 + 6.9f * std::cos(a), 8 + 6.9f * std::sin(a));
            }
            break;
        }
        case L'\uE921': g.Line(2, 8, 14, 8); break;           // minimise
        case L'\uE922': g.Box(2.5f, 2.5f, 11, 11, 1); break;  // maximise
        case L'\uE923':                                        // restore
            g.Box(2.5f, 5, 8.5f, 8.5f, 1);
            g.Poly({{5, 5}, {5, 2.5f}, {13.5f, 2.5f}, {13.5f, 11}, {11, 11}});
            break;
        case L'\uE8BB':  // close
            g.Line(2.5f, 2.5f, 13.5f, 13.5f);
            g.Line(13.5f, 2.5f, 2.5f, 13.5f);
            break;
        case L'\uE768': g.Poly({{4, 2}, {14, 8}, {4, 14}}, true, true); break;  // play
        case L'\uE7BA':                                                          // warning
            g.Poly({{8, 1.8f}, {15, 14}, {1, 14}}, true);
            g.Line(8, 6, 8, 9.5f);
            g.Dot(8, 11.8f, 0.9f);
            break;
        case L'\uE946':  // info
            g.Circle(8, 8, 6.5f);
            g.Line(8, 7.2f, 8, 11.5f);
            g.Dot(8, 4.8f, 0.9f);
            break;
        case L'\uE7F4':  // display
            g.Box(1.5f, 2.5f, 13, 9, 1.2f);
            g.Line(8, 11.5f, 8, 14);
            g.Line(5, 14, 11, 14);
            break;
        case L'\uE964':  // memory module
            g.Box(1.5f, 4, 13, 6.5f, 1);
            for (float x : {4.0f, 6.5f, 9.5f, 12.0f}) g.Line(x, 10.5f, x, 13);
            g.FillBox(4, 6, 2, 2.5f);
            g.FillBox(7, 6, 2, 2.5f);
            g.FillBox(10, 6, 2, 2.5f);
            break;
        case L'\uEDA2':  // drive
            g.Box(1.5f, 4, 13, 8, 1.5f);
            g.Line(1.5f, 9, 14.5f, 9);
            g.Dot(12, 10.6f, 0.8f);
            break;
        case L'\uE9CA':  // fan
            g.Circle(8, 8, 7);
            for (int i = 0; i < 3; ++i) {
                float a = i * 2.0943951f - 1.5707963f;
                auto at = [&](float r, float da) { return Pt{8 + r * std::cos(a + da), 8 + r * std::sin(a + da)}; };
                g.Path({at(1.2f, -0.5f), at(4.6f, -0.35f), at(5.6f, 0.05f), at(5.0f, 0.55f), at(3.2f, 0.85f),
                        at(1.2f, 0.9f)},
                       true, true);
            }
            g.Dot(8, 8, 1.5f);
            break;
        case L'\uE945': g.Poly({{9.5f, 1}, {3, 9}, {7.5f, 9}, {6.5f, 15}, {13, 7}, {8.5f, 7}}, true, true); break;
        case L'\uE83F':  // battery
            g.Box(1.5f, 4.5f, 11.5f, 7, 1.2f);
            g.FillBox(13.6f, 6.5f, 1.4f, 3, 0.4f);
            g.FillBox(3.3f, 6.3f, 5.5f, 3.4f, 0.4f);
            break;
        case L'\uE8F1':  // shield
            g.Poly({{8, 1.5f}, {14, 3.5f}, {14, 8}, {8, 14.5f}, {2, 8}, {2, 3.5f}}, true);
            g.Poly({{5.2f, 8}, {7.3f, 10}, {11, 6}});
            break;
        case L'\uE8A7':  // document with a look inside
            g.Poly({{3, 1.5f}, {10, 1.5f}, {13, 4.5f}, {13, 14.5f}, {3, 14.5f}}, true);
            g.Line(5.5f, 7, 10.5f, 7);
            g.Line(5.5f, 9.5f, 10.5f, 9.5f);
            g.Line(5.5f, 12, 8.5f, 12);
            break;
        case L'\uE76C': g.Poly({{6, 2.5f}, {11.5f, 8}, {6, 13.5f}}); break;  // chevron right
        case L'\uE734': {                                                    // star
            std::vector<Pt> star;
            for (int i = 0; i < 10; ++i) {
                float a = -1.5707963f + i * 0.6283185f;
                float r = i % 2 ? 2.9f : 6.8f;
                star.push_back({8 + r * std::cos(a), 8.6f + r * std::sin(a)});
            }
            g.Path(star, true, false);
            break;
        }
        case L'\uE74E':  // save
            g.Poly({{2, 2}, {11.5f, 2}, {14, 4.5f}, {14, 14}, {2, 14}}, true);
            g.Poly({{5, 2}, {5, 5.5f}, {10.5f, 5.5f}, {10.5f, 2}});
            g.Box(4.5f, 9, 7, 5, 0.6f);
            break;
        case L'\uE8C8':  // copy
            g.Box(5, 5, 9, 9.5f, 1.5f);
            g.Poly({{2, 11}, {2, 3}, {3.5f, 1.5f}, {10.5f, 1.5f}});
            break;
        case L'\uE72C':  // refresh
            g.Arc(8, 8, 5.8f, -60, 250);
            g.Poly({{11, 1.6f}, {11, 3.4f}, {12.9f, 3.4f}});
            break;
        case L'\uE71A': g.FillBox(3, 3, 10, 10, 1.5f); break;  // stop
        case L'\uE7F8':                                        // laptop
            g.Box(3, 3, 10, 7.5f, 1);
            g.Poly({{1, 13}, {15, 13}});
            g.Poly({{3, 10.5f}, {1.5f, 13}});
            g.Poly({{13, 10.5f}, {14.5f, 13}});
            break;
        case L'\uE770':  // operating system: four panes
            g.FillBox(2, 2, 5.5f, 5.5f, 0.6f);
            g.FillBox(8.5f, 2, 5.5f, 5.5f, 0.6f);
            g.FillBox(2, 8.5f, 5.5f, 5.5f, 0.6f);
            g.FillBox(8.5f, 8.5f, 5.5f, 5.5f, 0.6f);
            break;
        default: drawn = false; break;
    }
    return drawn;
}

}  // namespace kalorix
