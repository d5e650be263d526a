#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QImage>

#include "analysis/display/display_geometry.hpp"
#include "model/document.hpp"
#include "output/bmp_writer.hpp"
#include "render/font_choice.hpp"
#include "render/picture_drawing.hpp"
#include "render/wave_painter.hpp"
#include "tests/support/project_builder.hpp"

namespace tav {
namespace {

bool Black(const QImage& image, int x, int y) { return (image.pixel(x, y) & 0xFFFFFF) == 0; }

// A record with its largest value at one sample and its smallest at another,
// no head or toe lines to get in the way.
void BuildPeakProject(CTAV_AnalyserDoc& doc, int top, int bottom) {
    TestPoint tp = testing::WaveformPoint("P1", 1024, 1);
    for (auto& v : tp.samples) v *= 0.1f;
    // Five samples wide: a picture narrower than the record shows every
    // second or third sample, and must not miss the extremes.
    for (int d = -2; d <= 2; ++d) {
        tp.samples[static_cast<std::size_t>(top + d)] = 5.0f;
        tp.samples[static_cast<std::size_t>(bottom + d)] = -4.0f;
    }
    tp.rawSamples = tp.samples;
    tp.headValid = 0;
    tp.toeValid = 0;
    doc.points.push_back(tp);
    doc.points.push_back(tp);
    // The shown range spans both extremes exactly.
    for (auto& p : doc.points) {
        p.lastParams.viewMax = 5.0f;
        p.lastParams.viewMin = -4.0f;
    }
    doc.SelectPoint(1);
}

TEST(PictureDrawing, TheTraceIsADrawingOfTheSamples) {
    CTAV_AnalyserDoc doc;
    const int top = 300, bottom = 700;
    BuildPeakProject(doc, top, bottom);
    DisplayRect plot;
    const QImage image = render::DrawPointPicture(doc, 1, {530, 200}, {}, &plot);
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.size(), QSize(530, 200));
    EXPECT_EQ(image.pixel(image.width() - 1, 0) & 0xFFFFFF, 0xFFFFFFu) << "white background";
    ASSERT_GT(plot.Width(), 100) << "the curve gets most of the width";

    // The highest and lowest black pixels inside the frame are the curve's extremes.
    int highX = -1, highY = image.height(), lowX = -1, lowY = -1;
    for (int y = plot.top + 1; y < plot.bottom - 1; ++y)
        for (int x = plot.left + 1; x < plot.right - 1; ++x) {
            if (!Black(image, x, y)) continue;
            if (y < highY) highY = y, highX = x;
            if (y >= lowY) lowY = y, lowX = x;
        }
    const int c = doc.points[1].sampleCount();
    const auto& block = doc.points[1].lastParams.displayBlocks[0];
    EXPECT_NEAR(highX, SampleX(plot, c, block, top), 2);
    EXPECT_NEAR(lowX, SampleX(plot, c, block, bottom), 2);
    EXPECT_LE(highY, plot.top + 2);
    EXPECT_GE(lowY, plot.bottom - 3);
}

TEST(PictureDrawing, RefusesWhatCannotBeDrawnAndGivesFileBytes) {
    CTAV_AnalyserDoc doc;
    BuildPeakProject(doc, 10, 20);
    EXPECT_TRUE(render::DrawPointPicture(doc, 2, {530, 200}).isNull());
    EXPECT_TRUE(render::DrawPointPicture(doc, 0, {0, 200}).isNull());
    EXPECT_TRUE(render::DrawPointPicture(doc, 0, {100000, 200}).isNull());
    const auto bmp = render::PointPictureFile(doc, 0, {530, 145}, kPictureBmp);
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->size(), 58u + 530u * 145u * 4u);
    // The picture is drawn on a copy: the project is left as it was.
    EXPECT_EQ(doc.currentIndex, 1);
}

TEST(PictureDrawing, DisplayAreaPicturesTakeTheOnScreenSize) {
    CTAV_AnalyserDoc doc;
    BuildPeakProject(doc, 10, 20);
    const render::FontTextMeasure measure(render::PictureFont());
    WaveDisplayModel model(doc, measure);
    model.bar.timeScope = kScopePile;
    model.SetClientSize(700, 400);
    model.Rebuild();
    ASSERT_EQ(model.Entries().size(), 2u);
    const render::DisplayPictures pictures(model, render::PictureFont());
    EXPECT_FALSE(pictures.Stacked());
    const auto size = pictures.OnScreenSize();
    ASSERT_TRUE(size);
    EXPECT_EQ(size->width, 700);
    EXPECT_EQ(size->height, model.EntryHeight());
    const auto items = pictures.Items(doc);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].fileStem, "P1No.2");
    const QImage second = pictures.Draw(items[1]);
    EXPECT_EQ(second.size(), QSize(size->width, size->height));

    model.bar.timeScope = kScopeWaveTrain;
    model.Rebuild();
    const render::DisplayPictures train(model, render::PictureFont());
    ASSERT_TRUE(train.Stacked());
    const auto trainItems = train.Items(doc);
    ASSERT_EQ(trainItems.size(), 1u);
    EXPECT_EQ(train.Draw(trainItems[0]).height(), train.OnScreenSize()->height);
    EXPECT_EQ(train.OnScreenSize()->height, model.Entries()[0].rect.Height() * 2);
}

TEST(FontChoice, PrefersAnInstalledChineseFamilyAndEndsWithTheGenericOne) {
    const auto sans = render::InstalledFamilies(render::FontRole::Sans);
    ASSERT_FALSE(sans.isEmpty());
    EXPECT_EQ(sans.back(), "sans-serif");
    const auto serif = render::InstalledFamilies(render::FontRole::Serif);
    EXPECT_EQ(serif.back(), "serif");
    // The fonts of install-deps.sh, where present, are chosen before the generic family.
    if (QFontDatabase::families().contains("WenQuanYi Micro Hei")) {
        EXPECT_EQ(sans.front(), "WenQuanYi Micro Hei");
    }
    if (QFontDatabase::families().contains("AR PL UMing CN")) {
        EXPECT_EQ(serif.front(), "AR PL UMing CN");
    }
    EXPECT_EQ(render::ChineseFontPixels(render::FontRole::Sans, 12).pixelSize(), 12);
}

}  // namespace
}  // namespace tav
