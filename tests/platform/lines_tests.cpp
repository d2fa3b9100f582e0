// Pens, lines and three-dimensional edges.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/draw.h"
#include "platform/gdi.h"
#include "platform/lines.h"

namespace {

constexpr COLORREF kBackground = RGB(255, 0, 255);

// A memory context with a top-down section of some depth filled with kBackground (or the first
// table entry for indexed depths).
class Surface {
public:
    Surface(int width, int height, int bpp = 32) : Width(width), Height(height) {
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD colours[4];
        } info{{40, width, -height, 1, static_cast<WORD>(bpp), BI_RGB, 0, 0, 0, 4, 0},
               {{255, 0, 255, 0}, {0, 0, 0, 0}, {255, 0, 0, 0}, {255, 255, 255, 0}}};
        dc_ = CreateCompatibleDC(nullptr);
        section_ = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, nullptr,
                                    nullptr, 0);
        old_ = SelectObject(dc_, section_);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                SetPixel(dc_, x, y, kBackground);
    }
    ~Surface() {
        SelectObject(dc_, old_);
        DeleteObject(section_);
        DeleteDC(dc_);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    HDC dc() const { return dc_; }
    // Device pixels, whatever the origin and clip.
    COLORREF At(int x, int y) const {
        DibView view;
        GetSelectedDib(dc_, view);
        const BYTE* p = view.bits + static_cast<std::size_t>(y) * view.stride;
        if (view.bitsPerPixel == 8) {
            const RGBQUAD q = view.colours[p[x]];
            return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
        }
        p += static_cast<std::size_t>(x) * (view.bitsPerPixel / 8);
        return RGB(p[2], p[1], p[0]);
    }
    std::set<std::pair<int, int>> Drawn() const {
        std::set<std::pair<int, int>> out;
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                if (At(x, y) != kBackground) out.insert({x, y});
        return out;
    }
    // Rows of letters from a key of colours; '.' for the background, '?' for anything else.
    std::vector<std::string> Picture(const std::vector<std::pair<char, COLORREF>>& key) const {
        std::vector<std::string> rows;
        for (int y = 0; y < Height; ++y) {
            std::string row;
            for (int x = 0; x < Width; ++x) {
                char c = At(x, y) == kBackground ? '.' : '?';
                for (const auto& [letter, colour] : key)
                    if (At(x, y) == colour) c = letter;
                row += c;
            }
            rows.push_back(row);
        }
        return rows;
    }
    const int Width, Height;

private:
    HDC dc_ = nullptr;
    HBITMAP section_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

using Rows = std::vector<std::string>;

TEST(Lines, PixelsFollowTheIdealLineAndLeaveOutTheEnd) {
    const struct {
        POINT from, to;
    } cases[] = {{{1, 2}, {9, 2}},
                 {{9, 3}, {1, 3}},
                 {{4, 0}, {4, 9}},
                 {{5, 9}, {5, 1}},
                 {{0, 0}, {9, 9}},
                 {{9, 0}, {0, 9}},
                 {{1, 1}, {11, 4}},
                 {{11, 8}, {0, 2}},
                 {{2, 11}, {5, 0}},
                 {{7, 1}, {3, 10}},
                 {{3, 3}, {4, 4}},
                 {{6, 6}, {6, 6}},
                 // Exact ties, every direction.
                 {{2, 2}, {10, 6}},
                 {{10, 6}, {2, 2}},
                 {{2, 6}, {10, 2}},
                 {{10, 2}, {2, 6}},
                 {{2, 1}, {6, 9}},
                 {{6, 9}, {2, 1}},
                 {{6, 1}, {2, 9}},
                 {{2, 9}, {6, 1}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from.x << "," << c.from.y << " -> " << c.to.x << "," << c.to.y);
        Surface s(12, 12);
        const HGDIOBJ old = SelectObject(s.dc(), GetStockObject(BLACK_PEN));
        MoveToEx(s.dc(), c.from.x, c.from.y, nullptr);
        ASSERT_TRUE(LineTo(s.dc(), c.to.x, c.to.y));
        SelectObject(s.dc(), old);
        const auto drawn = s.Drawn();
        const long dx = c.to.x - c.from.x, dy = c.to.y - c.from.y;
        const long steps = std::max(std::labs(dx), std::labs(dy));
        ASSERT_EQ(static_cast<long>(drawn.size()), steps);
        if (steps == 0) continue;
        EXPECT_TRUE(drawn.count({c.from.x, c.from.y}));
        EXPECT_FALSE(drawn.count({c.to.x, c.to.y}));
        for (const auto& [x, y] : drawn) {
            EXPECT_EQ(s.At(x, y), RGB(0, 0, 0));
            // Within half a pixel of the ideal line across the major axis.
            const bool xMajor = std::labs(dx) >= std::labs(dy);
            const double t = xMajor ? double(x - c.from.x) / dx : double(y - c.from.y) / dy;
            EXPECT_GE(t, 0.0);
            EXPECT_LT(t, 1.0);
            const double ideal = xMajor ? c.from.y + t * dy : c.from.x + t * dx;
            EXPECT_LE(std::abs((xMajor ? y : x) - ideal), 0.5) << x << "," << y;
            // Halfway between two pixels, the one above or to the left.
            if (std::abs((xMajor ? y : x) - ideal) == 0.5) {
                EXPECT_LT(xMajor ? y : x, ideal) << x << "," << y;
            }
        }
    }
}

TEST(Lines, CurrentPositionOriginClipAndPens) {
    Surface s(10, 6);
    POINT previous{-1, -1};
    EXPECT_TRUE(MoveToEx(s.dc(), 1, 1, &previous));
    EXPECT_EQ(previous.x, 0);
    EXPECT_EQ(previous.y, 0);
    HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    const HGDIOBJ old = SelectObject(s.dc(), red);
    LineTo(s.dc(), 4, 1); // a polyline: each segment starts where the last one stopped
    LineTo(s.dc(), 4, 4);
    SetViewportOrgEx(s.dc(), 5, 0, nullptr);
    IntersectClipRect(s.dc(), 0, 0, 3, 6); // device columns 5..7
    MoveToEx(s.dc(), -2, 2, nullptr);
    LineTo(s.dc(), 9, 2);
    SelectObject(s.dc(), GetStockObject(NULL_PEN));
    MoveToEx(s.dc(), 0, 5, nullptr);
    LineTo(s.dc(), 4, 5); // draws nothing, moves all the same
    MoveToEx(s.dc(), 0, 0, &previous);
    EXPECT_EQ(previous.x, 4);
    EXPECT_EQ(previous.y, 5);
    EXPECT_EQ(s.Picture({{'r', RGB(255, 0, 0)}}),
              (Rows{"..........", ".rrrr.....", "....rrrr..", "....r.....", "..........", ".........."}));
    SelectObject(s.dc(), old);
    DeleteObject(red);
}

TEST(Lines, WidePensAndIndexedSurfaces) {
    Surface s(8, 7, 8); // the table holds the background, black, blue and white
    HPEN pen = CreatePen(PS_SOLID, 3, RGB(0, 0, 255));
    const HGDIOBJ old = SelectObject(s.dc(), pen);
    MoveToEx(s.dc(), 1, 2, nullptr);
    LineTo(s.dc(), 5, 2);
    SelectObject(s.dc(), old);
    DeleteObject(pen);
    EXPECT_EQ(s.Picture({{'b', RGB(0, 0, 255)}}),
              (Rows{"........", "bbbbbb..", "bbbbbb..", "bbbbbb..", "........", "........", "........"}));
}

TEST(Lines, PensAreObjectsLikeTheOthers) {
    const std::size_t start = GdiObjectCount();
    HDC dc = CreateCompatibleDC(nullptr);
    HPEN pen = CreatePen(PS_SOLID, 0, RGB(1, 2, 3));
    ASSERT_NE(pen, nullptr);
    EXPECT_EQ(CreatePen(77, 1, 0), nullptr);
    EXPECT_EQ(GdiObjectCount(), start + 3);
    LOGPEN record{};
    EXPECT_EQ(GetObjectA(pen, sizeof(record), &record), static_cast<int>(sizeof(LOGPEN)));
    EXPECT_EQ(record.lopnStyle, static_cast<UINT>(PS_SOLID));
    EXPECT_EQ(record.lopnWidth.x, 1); // width 0 is one pixel
    EXPECT_EQ(record.lopnColor, RGB(1, 2, 3));
    for (int stock : {WHITE_PEN, BLACK_PEN, NULL_PEN}) {
        ASSERT_NE(GetStockObject(stock), nullptr) << stock;
        EXPECT_FALSE(DeleteObject(GetStockObject(stock))) << stock;
    }
    EXPECT_EQ(SelectObject(dc, pen), GetStockObject(BLACK_PEN)); // every new context starts with it
    EXPECT_FALSE(DeleteObject(pen));
    EXPECT_EQ(SelectObject(dc, GetStockObject(WHITE_PEN)), pen);
    EXPECT_TRUE(DeleteObject(pen));
    DeleteDC(dc);
    EXPECT_EQ(GdiObjectCount(), start);
}

// Letters for the system colours of edges.
const std::vector<std::pair<char, COLORREF>> kEdgeKey = {{'L', GetSysColor(COLOR_3DLIGHT)},
                                                         {'D', GetSysColor(COLOR_3DDKSHADOW)},
                                                         {'H', GetSysColor(COLOR_BTNHIGHLIGHT)},
                                                         {'S', GetSysColor(COLOR_BTNSHADOW)},
                                                         {'F', GetSysColor(COLOR_BTNFACE)}};

TEST(Edges, ColoursAndCornersPerFlag) {
    struct Case {
        const char* name;
        UINT edge, flags;
        Rows expected;
        RECT adjusted; // the rectangle afterwards (BF_ADJUST), device (1, 1, 7, 6) otherwise
    };
    const Case cases[] = {
        {"raised, all sides",
         EDGE_RAISED,
         BF_RECT,
         {"........", ".LLLLLD.", ".LHHHSD.", ".LH..SD.", ".LSSSSD.", ".DDDDDD.", "........"},
         {1, 1, 7, 6}},
        {"sunken, all sides, middle, adjusted",
         EDGE_SUNKEN,
         BF_RECT | BF_MIDDLE | BF_ADJUST,
         {"........", ".SSSSSH.", ".SDDDLH.", ".SDFFLH.", ".SLLLLH.", ".HHHHHH.", "........"},
         {3, 3, 5, 4}},
        {"raised outer, top and left",
         BDR_RAISEDOUTER,
         BF_TOPLEFT,
         {"........", ".LLLLLL.", ".L......", ".L......", ".L......", ".L......", "........"},
         {1, 1, 7, 6}},
        {"raised outer, bottom and right",
         BDR_RAISEDOUTER,
         BF_BOTTOMRIGHT | BF_ADJUST,
         {"........", "......D.", "......D.", "......D.", "......D.", ".DDDDDD.", "........"},
         {1, 1, 6, 5}},
        {"sunken outer, top and right",
         BDR_SUNKENOUTER,
         BF_TOP | BF_RIGHT,
         {"........", ".SSSSSH.", "......H.", "......H.", "......H.", "......H.", "........"},
         {1, 1, 7, 6}},
        {"sunken inner, left and bottom",
         BDR_SUNKENINNER,
         BF_LEFT | BF_BOTTOM,
         {"........", ".D......", ".D......", ".D......", ".D......", ".LLLLLL.", "........"},
         {1, 1, 7, 6}},
        {"middle only",
         0,
         BF_MIDDLE,
         {"........", ".FFFFFF.", ".FFFFFF.", ".FFFFFF.", ".FFFFFF.", ".FFFFFF.", "........"},
         {1, 1, 7, 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Surface s(8, 7);
        SetViewportOrgEx(s.dc(), 1, 1, nullptr); // the rectangle is (0, 0, 6, 5) in logical terms
        RECT rect{0, 0, 6, 5};
        ASSERT_TRUE(DrawEdge(s.dc(), &rect, c.edge, c.flags));
        EXPECT_EQ(s.Picture(kEdgeKey), c.expected);
        EXPECT_EQ(rect.left + 1, c.adjusted.left);
        EXPECT_EQ(rect.top + 1, c.adjusted.top);
        EXPECT_EQ(rect.right + 1, c.adjusted.right);
        EXPECT_EQ(rect.bottom + 1, c.adjusted.bottom);
    }
    Surface s(4, 4);
    EXPECT_FALSE(DrawEdge(s.dc(), nullptr, EDGE_RAISED, BF_RECT));
    IntersectClipRect(s.dc(), 0, 0, 2, 4);
    RECT rect{0, 0, 4, 4};
    DrawEdge(s.dc(), &rect, BDR_RAISEDOUTER, BF_RECT);
    EXPECT_EQ(s.Picture(kEdgeKey), (Rows{"LL..", "L...", "L...", "DD.."}));
}

// The three steps a push button draws its raised face with, on a 23 x 23 surface: a dark outer
// line at the bottom and right, a white line at the top and left inside it, a shadow line at the
// bottom and right inside that, and the face colour in the middle.
TEST(Edges, RaisedPushButtonFace) {
    Surface s(23, 23);
    RECT rect{0, 0, 23, 23};
    DrawEdge(s.dc(), &rect, BDR_RAISEDOUTER, BF_BOTTOMRIGHT);
    rect.right--;
    rect.bottom--;
    DrawEdge(s.dc(), &rect, BDR_RAISEDINNER, BF_TOPLEFT);
    rect.left++;
    rect.top++;
    DrawEdge(s.dc(), &rect, BDR_RAISEDINNER, BF_BOTTOMRIGHT | BF_MIDDLE);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 23; ++x) {
            int expected = COLOR_BTNFACE;
            if (x == 22 || y == 22)
                expected = COLOR_3DDKSHADOW;
            else if (x == 21 || y == 21)
                expected = x == 0 || y == 0 ? COLOR_BTNHIGHLIGHT : COLOR_BTNSHADOW;
            else if (x == 0 || y == 0)
                expected = COLOR_BTNHIGHLIGHT;
            ASSERT_EQ(s.At(x, y), GetSysColor(expected)) << x << "," << y;
        }
}

} // namespace
