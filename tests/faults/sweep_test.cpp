// Faults survived: every allocation point of an operation (heap blocks, zero-filled planes, the
// platform's bitmaps, contexts and palettes) is made to fail in turn. Each run must complete or
// raise one of the library's exceptions (std::bad_alloc where the heap itself refused), leave no
// platform object behind, and leave what it worked on as it was. LeakSanitizer checks the heap in
// the sanitizer build.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include "platform/faults.h"
#include "platform/gdi.h"
#include "platform/resource.h"
#include "png/pngimage.h"
#include "support/objects.h"
#include "support/png_load.h"
#include "support/pngsuite.h"
#include "support/surface.h"
#include "toolkit/core/bitmap.h"
#include "toolkit/core/formdata.h"
#include "toolkit/core/picture.h"
#include "toolkit/core/stream.h"

namespace {

using pngtest::Bytes;

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes SuiteFile(const std::string& name) {
    return ReadFileBytes(pngtest::SuiteDir() + "/" + name + ".png");
}

// Runs op with the n-th allocation point failing, for n = 1, 2, ... until a run passes every point
// without a failure. check(raised) runs after each run, outside the sweep, to test what op worked
// on; raised names the exception class, empty when the run completed. Returns how many failure
// points there were.
long Sweep(const std::function<void()>& op, const std::function<void(const std::string& raised)>& check) {
    const auto* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
    const int partsBefore = result->total_part_count();
    for (long n = 1;; ++n) {
        const std::size_t objects = GdiObjectCount();
        std::string raised;
        faults::BeginSweep(n);
        try {
            op();
        } catch (const Exception& e) {
            raised = e.ClassName();
        } catch (const std::bad_alloc&) {
            raised = "std::bad_alloc";
        }
        const long passed = faults::EndSweep();
        EXPECT_OBJECT_COUNT(objects) << "platform objects left behind with point " << n << " failing";
        check(raised);
        if (raised.empty()) {
            EXPECT_LT(passed, n) << "point " << n << " failed unnoticed";
            return n - 1;
        }
        if (result->total_part_count() != partsBefore || n > 100000) return n;
    }
}

void Report(const char* what, long points) {
    std::printf("[ sweep    ] %s: %ld failure points\n", what, points);
}

class FaultSweep : public ::testing::Test {
protected:
    void SetUp() override {
        if (pngtest::SuiteMissing()) GTEST_SKIP() << "no PNG test images";
    }
};

// Reading an image of each colour type (one interlaced, one of 16 bits): a failed read leaves an
// image that still destroys cleanly; a complete one has the dimensions of the file.
TEST_F(FaultSweep, ReadingEachColourType) {
    for (const char* name :
         {"basn0g01", "basn0g16", "basn2c08", "basn3p04", "basn4a08", "basn6a16", "basi6a08"}) {
        const Bytes file = SuiteFile(name);
        const std::size_t objects = GdiObjectCount();
        const long points = Sweep(
            [&] {
                TPNGObject image;
                pngtest::Load(image, file);
                if (image.PixelWidth() != 32) throw std::logic_error("wrong width");
            },
            [](const std::string&) {});
        EXPECT_OBJECT_COUNT(objects);
        EXPECT_GT(points, 0) << name;
        Report(name, points);
    }
}

// Drawing by each path, unscaled and scaled: a failed draw leaves the target as it was, and a
// complete one equals the drawing made without any failure.
TEST_F(FaultSweep, DrawingEachPathScaledAndUnscaled) {
    struct Case {
        const char* Name;
        TPNGTransparencyKind Kind;
    };
    for (const Case c :
         {Case{"basn2c08", ptkOpaque}, Case{"tbrn2c08", ptkKeyColor}, Case{"basn6a08", ptkAlpha},
          Case{"basn4a08", ptkAlpha}, Case{"tm3n3p02", ptkAlpha}, Case{"tbbn3p08", ptkKeyColor}}) {
        TPNGObject image;
        pngtest::Load(image, SuiteFile(c.Name));
        ASSERT_EQ(image.TransparencyKind(), c.Kind) << c.Name;
        // Inside the target, scaled, and over its left edge (the alpha path then blends a copy).
        for (const TRect rect : {TRect{4, 4, 36, 36}, TRect{3, 5, 50, 27}, TRect{-3, 4, 29, 36}}) {
            pngtest::Surface expected(60, 40), target(60, 40);
            auto background = [](std::int32_t x, std::int32_t y) { return 0x102030u * ((x ^ y) & 7); };
            expected.Fill(background);
            image.DrawOn(expected.canvas, rect);
            const long points = Sweep(
                [&] {
                    target.Fill(background);
                    image.DrawOn(target.canvas, rect);
                },
                [&](const std::string& raised) {
                    pngtest::Surface blank(60, 40);
                    blank.Fill(background);
                    const bool failed = !raised.empty();
                    EXPECT_TRUE(!failed || raised == "EPNGOutMemory" || raised == "std::bad_alloc") << raised;
                    const pngtest::Surface& want = failed ? blank : expected;
                    EXPECT_EQ(0, std::memcmp(target.Bits, want.Bits, 60 * 40 * 4))
                        << c.Name << (failed ? " changed the target when it failed" : " drew differently");
                });
            // The opaque path is one platform call that makes nothing of ours: whether it has
            // failure points is the platform's affair.
            if (c.Kind != ptkOpaque) {
                EXPECT_GT(points, 0) << c.Name;
            }
            Report(c.Name, points);
        }
    }
}

// Saving: a failed save leaves the image as it was, so that saving it again gives the same stream.
TEST_F(FaultSweep, Saving) {
    for (const char* name : {"basn3p04", "basn6a16", "basi0g08"}) {
        TPNGObject image;
        pngtest::Load(image, SuiteFile(name));
        const Bytes reference = pngtest::Save(image);
        Bytes saved;
        const long points = Sweep([&] { saved = pngtest::Save(image); },
                                  [&](const std::string& raised) {
                                      if (raised.empty()) {
                                          EXPECT_EQ(saved, reference) << name;
                                      }
                                  });
        EXPECT_EQ(pngtest::Save(image), reference) << name;
        EXPECT_GT(points, 0) << name;
        Report(name, points);
    }
}

// Loading a plain bitmap file, and reading the launcher's window description with its pictures.
TEST_F(FaultSweep, LoadingABitmapAndReadingTheWindowDescription) {
    const Bytes bmp = ReadFileBytes(VORLANTH_ASSETS_DIR "/background.bmp");
    ASSERT_FALSE(bmp.empty());
    Report("background.bmp", Sweep(
                                 [&] {
                                     TBitmap bitmap;
                                     TCustomMemoryStream stream(bmp.data(), std::int64_t(bmp.size()));
                                     bitmap.LoadFromStream(stream);
                                 },
                                 [](const std::string&) {}));

    HRSRC resource = FindResourceA(nullptr, "TFORM4", RT_RCDATA);
    ASSERT_NE(resource, nullptr);
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, resource)));
    const std::span<const std::uint8_t> description(data, SizeofResource(nullptr, resource));
    const long points = Sweep(
        [&] {
            const TFormObject form = ReadFormData(description);
            std::function<void(const TFormObject&)> pictures = [&](const TFormObject& object) {
                for (const TFormProperty& p : object.Properties)
                    if (p.Name == "Picture.Data" && p.Value.Kind == TFormValueKind::Binary) {
                        TPicture picture;
                        TCustomMemoryStream stream(p.Value.Bytes.data(), std::int64_t(p.Value.Bytes.size()));
                        picture.ReadData(stream);
                    }
                for (const TFormObject& child : object.Children)
                    pictures(child);
            };
            pictures(form);
        },
        [](const std::string&) {});
    EXPECT_GT(points, 0);
    Report("window description", points);
}

} // namespace
