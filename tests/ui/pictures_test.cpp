// The program's pictures: every id drawn, checked looks distinct, saved for people to look at.
#include <wx/dcmemory.h>
#include <wx/image.h>

#include "ToolPictures.h"
#include "UiTestSupport.h"

namespace {

std::vector<unsigned> AllIds()
{
    std::vector<unsigned> ids;
    for (unsigned id = 3900; id <= 3926; ++id)
        ids.push_back(id);
    return ids;
}

// Share of the picture's pixels that differ between a and b.
double Difference(const wxImage& a, const wxImage& b)
{
    int differing = 0;
    for (int y = 0; y < a.GetHeight(); ++y)
        for (int x = 0; x < a.GetWidth(); ++x)
            differing += (a.GetRed(x, y) != b.GetRed(x, y) || a.GetBlue(x, y) != b.GetBlue(x, y)) ? 1 : 0;
    return static_cast<double>(differing) / (a.GetWidth() * a.GetHeight());
}

}  // namespace

TEST(ToolPictures, EveryIdIsA48PixelPictureWithTransparentCorners)
{
    for (unsigned id : AllIds()) {
        SCOPED_TRACE(id);
        const wxBitmap bitmap = zelk::LoadToolPicture(id);
        ASSERT_TRUE(bitmap.IsOk());
        EXPECT_EQ(bitmap.GetSize(), wxSize(48, 48));
        const wxImage image = bitmap.ConvertToImage();
        ASSERT_TRUE(image.HasAlpha());
        EXPECT_EQ(image.GetAlpha(0, 0), 0);
        EXPECT_GT(image.GetAlpha(24, 24) + image.GetAlpha(20, 30), 0);
    }
    EXPECT_FALSE(zelk::LoadToolPicture(3899).IsOk());
    EXPECT_FALSE(zelk::LoadToolPicture(3927).IsOk());
}

TEST(ToolPictures, LooksAreDistinct)
{
    // Checked against unchecked for each tool, start against stop, connected against not.
    const std::pair<unsigned, unsigned> pairs[] = {{3903, 3904}, {3905, 3906}, {3907, 3908}, {3909, 3910},
                                                   {3911, 3912}, {3913, 3914}, {3916, 3917}, {3919, 3920},
                                                   {3923, 3924}, {3925, 3926}};
    for (const auto& [a, b] : pairs) {
        SCOPED_TRACE(std::to_string(a) + "/" + std::to_string(b));
        EXPECT_GT(Difference(zelk::LoadToolPicture(a).ConvertToImage(), zelk::LoadToolPicture(b).ConvertToImage()),
                  0.3);
    }
    // The view directions light up different faces of one cube.
    EXPECT_GT(Difference(zelk::LoadToolPicture(3900).ConvertToImage(), zelk::LoadToolPicture(3901).ConvertToImage()),
              0.1);
    EXPECT_GT(Difference(zelk::LoadToolPicture(3901).ConvertToImage(), zelk::LoadToolPicture(3902).ConvertToImage()),
              0.1);
    // Pause and resume share the tile and differ in the symbol.
    EXPECT_GT(Difference(zelk::LoadToolPicture(3921).ConvertToImage(), zelk::LoadToolPicture(3922).ConvertToImage()),
              0.05);
    // Different tools differ in their symbol, not only their colour.
    EXPECT_GT(Difference(zelk::LoadToolPicture(3903).ConvertToImage(), zelk::LoadToolPicture(3905).ConvertToImage()),
              0.05);
}

// All pictures drawn side by side on the view's background, as the program
// draws them: each one shows (enough of it differs from the background) and
// no two look alike. The sheet is kept for a person to judge.
TEST(ToolPictures, EachShowsOnTheViewsBackgroundAndNoTwoLookAlike)
{
    const std::vector<unsigned> ids = AllIds();
    const wxColour background(96, 112, 128);
    constexpr int kCell = 56, kMargin = 8;
    wxBitmap sheet(static_cast<int>(ids.size()) * kCell + kMargin, zelk::kToolPictureSize + 2 * kMargin);
    {
        wxMemoryDC dc(sheet);
        dc.SetBackground(wxBrush(background));
        dc.Clear();
        int x = kMargin;
        for (unsigned id : ids) {
            dc.DrawBitmap(zelk::LoadToolPicture(id), x, kMargin, true);
            x += kCell;
        }
    }
    const wxImage image = sheet.ConvertToImage();
    const auto cell = [&](std::size_t i) {
        return image.GetSubImage(wxRect(kMargin + static_cast<int>(i) * kCell, kMargin, zelk::kToolPictureSize,
                                        zelk::kToolPictureSize));
    };
    for (std::size_t i = 0; i < ids.size(); ++i) {
        SCOPED_TRACE(ids[i]);
        const wxImage picture = cell(i);
        int shown = 0;
        for (int y = 0; y < picture.GetHeight(); ++y)
            for (int x = 0; x < picture.GetWidth(); ++x)
                shown += (picture.GetRed(x, y) != background.Red() || picture.GetGreen(x, y) != background.Green() ||
                          picture.GetBlue(x, y) != background.Blue())
                             ? 1
                             : 0;
        EXPECT_GT(shown, picture.GetWidth() * picture.GetHeight() / 4) << "hardly shows on the background";
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_GT(Difference(picture, cell(j)), 0.01) << "looks like " << ids[j];
    }
    EXPECT_TRUE(sheet.SaveFile(uitest::ArtefactFolder() + "tool-pictures.png", wxBITMAP_TYPE_PNG));
}
