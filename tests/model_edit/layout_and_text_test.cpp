// Footprint arrangement on the platform, and the wide/narrow text conversions.
#include <gtest/gtest.h>

#include "Layout.h"
#include "StringConvert.h"

namespace {

using zelk::ArrangeOnPlatform;
using zelk::Footprint;

void ExpectApartAndInside(const std::vector<Footprint>& f, const zelk::LayoutResult& r, double gap, double px,
                          double py)
{
    ASSERT_EQ(r.placements.size(), f.size());
    for (std::size_t i = 0; i < f.size(); ++i) {
        const auto& a = r.placements[i];
        EXPECT_LE(std::abs(a.centerX) + f[i].sizeX / 2, px / 2 + 1e-9) << i;
        EXPECT_LE(std::abs(a.centerY) + f[i].sizeY / 2, py / 2 + 1e-9) << i;
        for (std::size_t j = i + 1; j < f.size(); ++j) {
            const auto& b = r.placements[j];
            const double dx = std::abs(a.centerX - b.centerX) - (f[i].sizeX + f[j].sizeX) / 2;
            const double dy = std::abs(a.centerY - b.centerY) - (f[i].sizeY + f[j].sizeY) / 2;
            EXPECT_GE(std::max(dx, dy), gap - 1e-9) << i << " and " << j;
        }
    }
}

TEST(Layout, ManyFootprintsFitApartInsideAndCentred)
{
    std::vector<Footprint> f;
    for (int i = 0; i < 12; ++i)
        f.push_back({10.0 + 7 * (i % 4), 12.0 + 5 * (i % 3)});
    const auto r = ArrangeOnPlatform(f, 150, 150, 5);
    EXPECT_TRUE(r.fits);
    ExpectApartAndInside(f, r, 5, 150, 150);
    double lo = 1e9, hi = -1e9;
    for (std::size_t i = 0; i < f.size(); ++i) {
        lo = std::min(lo, r.placements[i].centerY - f[i].sizeY / 2);
        hi = std::max(hi, r.placements[i].centerY + f[i].sizeY / 2);
    }
    EXPECT_NEAR(lo + hi, 0.0, 1e-9);
    EXPECT_NEAR(hi - lo, r.depth, 1e-9);
}

TEST(Layout, PrefersAnEvenArrangementToOneLongRow)
{
    const std::vector<Footprint> f(4, Footprint{30, 30});
    const auto r = ArrangeOnPlatform(f, 150, 150, 5);
    EXPECT_NEAR(r.width, 65, 1e-9);  // two by two
    EXPECT_NEAR(r.depth, 65, 1e-9);
}

TEST(Layout, SaysWhenTheModelsCannotFit)
{
    const auto one = ArrangeOnPlatform({{160, 10}}, 150, 150, 5);
    EXPECT_FALSE(one.fits);
    EXPECT_NEAR(one.placements[0].centerX, 0.0, 1e-12);
    const auto many = ArrangeOnPlatform(std::vector<Footprint>(30, Footprint{40, 40}), 150, 150, 5);
    EXPECT_FALSE(many.fits);
    EXPECT_TRUE(ArrangeOnPlatform({}, 150, 150, 5).placements.empty());
}

TEST(StringConvert, RoundTripsEveryPlaneAndReplacesWhatCannotBeEncoded)
{
    const std::wstring wide = L"C:/模型/gear \u00e9\U0001F600.stl";
    const std::string narrow = ZELKCAD::WideCharToMultiByte_ZELK(wide);
    EXPECT_EQ(narrow, "C:/\xE6\xA8\xA1\xE5\x9E\x8B/gear \xC3\xA9\xF0\x9F\x98\x80.stl");
    EXPECT_EQ(ZELKCAD::MultiByteToWideChar_ZELK(narrow.c_str()), wide);

    EXPECT_EQ(ZELKCAD::MultiByteToWideChar_ZELK(nullptr), L"");
    EXPECT_EQ(ZELKCAD::MultiByteToWideChar_ZELK("a\xFF" "b"), L"a\uFFFDb");
    EXPECT_EQ(ZELKCAD::MultiByteToWideChar_ZELK("\xC0\xAF"), L"\uFFFD\uFFFD");  // overlong '/'
    EXPECT_EQ(ZELKCAD::MultiByteToWideChar_ZELK("\xE6\xA8"), L"\uFFFD\uFFFD");  // cut short
    EXPECT_EQ(ZELKCAD::MultiByteToWideChar_ZELK("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");  // surrogate
    if constexpr (sizeof(wchar_t) == 4) {
        std::wstring lone(1, static_cast<wchar_t>(0xD800));
        EXPECT_EQ(ZELKCAD::WideCharToMultiByte_ZELK(lone), "\xEF\xBF\xBD");
    }
}

}  // namespace
