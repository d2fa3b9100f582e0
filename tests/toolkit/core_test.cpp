// Toolkit core: byte streams, the copy refusal, the picture-format registry.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "toolkit/core/exception.h"
#include "toolkit/core/graphic.h"
#include "toolkit/core/picture.h"
#include "toolkit/core/stream.h"

namespace {

TEST(Streams, MemoryStreamReadWriteSeek) {
    TMemoryStream s;
    EXPECT_EQ(s.Write("hello", 5), 5);
    EXPECT_EQ(s.Position(), 5);
    s.Seek(10, TSeekOrigin::soBeginning);
    EXPECT_EQ(s.Write("!", 1), 1); // a gap is zero-filled
    EXPECT_EQ(s.Size(), 11);
    s.SetPosition(0);
    char buffer[16] = {};
    EXPECT_EQ(s.Read(buffer, 16), 11);
    EXPECT_EQ(std::string(buffer, 11), std::string("hello\0\0\0\0\0!", 11));
    EXPECT_EQ(s.Read(buffer, 4), 0);
    EXPECT_EQ(s.Seek(-3, TSeekOrigin::soEnd), 8);
    EXPECT_EQ(s.Seek(100, TSeekOrigin::soCurrent), 108); // past the end is allowed
    EXPECT_EQ(s.Read(buffer, 4), 0);
    EXPECT_THROW(s.Seek(-1, TSeekOrigin::soBeginning), EStreamError);
    EXPECT_THROW(s.ReadBuffer(buffer, 1), EReadError);
    s.SetSize(2);
    EXPECT_EQ(s.Position(), 2);
    EXPECT_EQ(s.Size(), 2);
}

TEST(Streams, ReadOnlyViewRefusesWrites) {
    const char data[] = "abcdef";
    TCustomMemoryStream view(data, 6);
    char out[3] = {};
    EXPECT_EQ(view.Read(out, 3), 3);
    EXPECT_EQ(std::string(out, 3), "abc");
    EXPECT_EQ(view.Write("x", 1), 0);
    EXPECT_THROW(view.WriteBuffer("x", 1), EWriteError);
    EXPECT_EQ(view.Size(), 6);
}

TEST(Streams, FileStreamRoundTripAndOpenErrors) {
    const auto path =
        std::filesystem::temp_directory_path() / ("stream_" + std::to_string(std::random_device{}()));
    {
        TMemoryStream m;
        m.WriteBuffer("0123456789", 10);
        m.SaveToFile(path.string());
    }
    {
        // Closed again before the file goes: Windows removes no file that is still open.
        TFileStream f(path.string(), fmOpenRead);
        EXPECT_EQ(f.Size(), 10);
        f.Seek(4, TSeekOrigin::soBeginning);
        char c = 0;
        EXPECT_EQ(f.Read(&c, 1), 1);
        EXPECT_EQ(c, '4');
    }
    TMemoryStream back;
    back.LoadFromFile(path.string());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(back.Memory()), 10), "0123456789");
    std::filesystem::remove(path);
    EXPECT_THROW(TFileStream("/nonexistent/dir/file", fmOpenRead), EFOpenError);
    EXPECT_THROW(TFileStream("/nonexistent/dir/file", fmCreate), EFCreateError);
}

class TTestGraphic : public TGraphic {
public:
    static const TGraphicClass Class;
    const char* ClassName() const noexcept override { return "TTestGraphic"; }
    bool IsEmpty() const override { return Bytes.empty(); }
    std::int32_t PixelWidth() const override { return 1; }
    std::int32_t PixelHeight() const override { return 1; }
    void SetPixelWidth(std::int32_t) override {}
    void SetPixelHeight(std::int32_t) override {}
    void DrawOn(TCanvas&, const TRect&) override {}
    void LoadFromStream(TStream& stream) override {
        Bytes.resize(static_cast<std::size_t>(stream.Size()));
        stream.ReadBuffer(Bytes.data(), static_cast<std::int32_t>(Bytes.size()));
    }
    void SaveToStream(TStream& stream) override {
        stream.WriteBuffer(Bytes.data(), static_cast<std::int32_t>(Bytes.size()));
    }
    std::string Bytes;
};
const TGraphicClass TTestGraphic::Class{"TTestGraphic",
                                        [] { return std::unique_ptr<TGraphic>(new TTestGraphic); }};

TEST(Persistent, UnrelatedClassesRefuseToCopy) {
    TTestGraphic a, b;
    try {
        a.AssignFrom(&b);
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TTestGraphic to a TTestGraphic");
    }
    try {
        a.AssignFrom(nullptr);
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a nil to a TTestGraphic");
    }
}

TEST(Picture, RegistryLooksUpByExtensionAndClassName) {
    TPicture::RegisterFileFormat("tst", "Test pictures", &TTestGraphic::Class);
    EXPECT_EQ(TPicture::FindByExtension("TST"), &TTestGraphic::Class);
    EXPECT_EQ(TPicture::FindByExtension(".tst"), &TTestGraphic::Class);
    EXPECT_EQ(TPicture::FindByClassName("TTestGraphic"), &TTestGraphic::Class);
    EXPECT_EQ(TPicture::FindByExtension("png"), nullptr);

    const auto path = std::filesystem::temp_directory_path() /
                      ("picture_" + std::to_string(std::random_device{}()) + ".Tst");
    TTestGraphic original;
    original.Bytes = "content";
    original.SaveToFile(path.string());
    auto loaded = TPicture::LoadFromFile(path.string());
    EXPECT_EQ(static_cast<TTestGraphic&>(*loaded).Bytes, "content");
    std::filesystem::remove(path);
    try {
        TPicture::LoadFromFile("picture.xyz");
        ADD_FAILURE();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), "Unknown picture file extension (.xyz)");
    }

    TPicture::UnregisterGraphicClass(&TTestGraphic::Class);
    EXPECT_EQ(TPicture::FindByExtension("tst"), nullptr);
    EXPECT_EQ(TPicture::FindByClassName("TTestGraphic"), nullptr);
}

} // namespace
