// The compression engines behind the image data, held against zlib over the standard image set:
// each inflater reads the same image memory or raises the same error, and what each deflater writes
// at each level reads back to the same image; above the whole-image budget the save is zlib's.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "png/pngdeflate.h"
#include "png/pngheader.h"
#include "png/pnginflate.h"
#include "support/png_load.h"
#include "support/pngsuite.h"

namespace {

using namespace pngtest;

Bytes ReadFile(const std::string& name) {
    std::ifstream in(SuiteDir() + "/" + name + ".png", std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The chunk list and the image memory's rows and planes, or the error's class and message.
std::string Outcome(const Bytes& file) {
    TPNGObject image;
    try {
        Load(image, file);
    } catch (const Exception& e) {
        return std::string(e.ClassName()) + ": " + e.Message();
    }
    const TChunkIHDR& h = image.HeaderChunk();
    std::string rows = ChunkTypes(image) + "\n";
    for (std::int32_t y = 0; y < static_cast<std::int32_t>(h.Height); ++y)
        for (const auto& [row, length] : {std::pair{h.PixelRow(y), std::size_t(h.RowStride())},
                                          std::pair{h.LowByteRow(y), std::size_t(h.RowStride())},
                                          std::pair{h.AlphaRow(y), std::size_t(h.Width)}})
            if (row != nullptr) rows.append(reinterpret_cast<const char*>(row), length);
    return rows;
}

struct TEngines {
    const TInflateEngine Inflate = ImageInflateEngine();
    const TDeflateEngine Deflate = ImageDeflateEngine();
    ~TEngines() {
        SetImageInflateEngine(Inflate);
        SetImageDeflateEngine(Deflate);
    }
};

TEST(Engines, EveryInflaterAndDeflaterAgreesWithZlib) {
    if (SuiteMissing()) GTEST_SKIP() << "no PNG test images";
    const TEngines restore;
    for (const bool corrupt : {false, true})
        for (const std::string& name : SuiteNames(corrupt)) {
            const Bytes file = ReadFile(name);
            SetImageInflateEngine(TInflateEngine::Zlib);
            const std::string reference = Outcome(file);
            SetImageInflateEngine(TInflateEngine::Isal);
            EXPECT_EQ(Outcome(file), reference) << name << " read by ISA-L";
            if (corrupt) continue;
            SetImageInflateEngine(TInflateEngine::Zlib);
            for (const TDeflateEngine engine : {TDeflateEngine::Zlib, TDeflateEngine::Libdeflate})
                for (const int level : {0, 1, 7, 9}) {
                    SetImageDeflateEngine(engine);
                    TPNGObject image;
                    Load(image, file);
                    image.DeflateLevel = static_cast<std::uint8_t>(level);
                    EXPECT_EQ(Outcome(Save(image)), reference)
                        << name << " written by engine " << int(engine) << " at level " << level;
                }
        }
}

// Files on which ISA-L once answered otherwise than zlib, found by the differential fuzz target.
const char* const kDisputed[] = {
    // 101 bytes
    "89504e470d0a1a0a0000000d494844520000000100000001010300000025db56ca0000000467414d41000186a031e896"
    "5f000000037342495404040477f8b5a300000003504c54450000ff8a78d2570000000a49444154789c63de000049454e"
    "44c360cbea",
    // 246 bytes
    "89504e470d0a1a0a0000000d49484452000000080000000808020000004b6d29dc0000000467414d41000186a031e896"
    "5f000000037342495404040477f8b5a300000009704859730000000100000001004f25c4d60000007b49444154789c45"
    "ce510dc2401444d153828167612dd4422b010b58000920814ac0c256022ba12ba195b02000000020080400004154789c"
    "45ce510dc24014442c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c2c"
    "2c2c2c2c2c2c2c2c2c2c2c2c2c2cd153828167612dd4422b1c07aadd0920814ac0c256022ba12ba195b0200000002008"
    "040000044401",
    // 321 bytes
    "89504e470d0a1a0a0000000d49484452000000200000002010000000000681f96b0000000467414d4100011170893b58"
    "56000000f849444154789ccd95bb0d84300c860d42e12568998001a8588049c85c998931102d88a784b802e5446c2017"
    "a5b9bf494cf1f9c302d9390e50e2386a2d845ad7b55a7bdba63ec832780d6e400069fa0ec0c60490249606716c691045"
    "96063a80d6200c2d0d7400ad4110181aacab19e00f0d4c015a03dfb734d0018c0df6ddd000ffced364698001c46059de"
    "0138c4c014800ddc05857d53558c310600c0f9d540cda34159dedb686770f604689aa290f76bc80ce6f91e80ef9c9f1b"
    "8218fc06e05c22b0813ba1c811e639409e33c639801042c81d75a078f843915ddbf63ce56a932799c1383ebfc25dc80c"
    "86c10c400cfaded2a06bec0c3e02c5a1d48317f6f60000000049454e44ae426082",
};

Bytes FromHex(const char* hex) {
    Bytes bytes;
    for (; hex[0] != 0 && hex[1] != 0; hex += 2)
        bytes.push_back(std::uint8_t(std::stoi(std::string(hex, 2), nullptr, 16)));
    return bytes;
}

// Every single-bit change of the image data (chunk checksums made right again), read by each
// inflater: damaged block headers, codes, distances and checksums must end alike. Three encodings:
// dynamic codes, fixed codes and stored blocks.
TEST(Engines, EveryBitFlipOfTheImageDataEndsAsWithZlib) {
    if (SuiteMissing()) GTEST_SKIP() << "no PNG test images";
    const TEngines restore;
    for (const char* name : {"basn2c08", "z00n2c08", "s01i3p01", "basn0g01"}) {
        const Bytes file = ReadFile(name);
        // The first IDAT chunk's data: the chunks follow the 8-byte signature.
        std::size_t at = 8, length = 0;
        for (;; at += 12 + length) {
            ASSERT_LE(at + 12, file.size()) << name;
            length = std::size_t(file[at]) << 24 | std::size_t(file[at + 1]) << 16 | file[at + 2] << 8 |
                     file[at + 3];
            if (std::memcmp(&file[at + 4], "IDAT", 4) == 0) break;
        }
        for (std::size_t bit = 0; bit < 8 * std::min<std::size_t>(length, 160); ++bit) {
            Bytes damaged = file;
            damaged[at + 8 + bit / 8] ^= std::uint8_t(1u << (bit % 8));
            const std::uint32_t crc = std::uint32_t(crc32(0, &damaged[at + 4], std::uint32_t(length + 4)));
            for (int i = 0; i < 4; ++i)
                damaged[at + 8 + length + std::size_t(i)] = std::uint8_t(crc >> (24 - 8 * i));
            SetImageInflateEngine(TInflateEngine::Zlib);
            const std::string reference = Outcome(damaged);
            SetImageInflateEngine(TInflateEngine::Isal);
            ASSERT_EQ(Outcome(damaged), reference) << name << ", bit " << bit << " of the image data";
        }
    }
    for (const char* hex : kDisputed) {
        const Bytes file = FromHex(hex);
        SetImageInflateEngine(TInflateEngine::Zlib);
        const std::string reference = Outcome(file);
        SetImageInflateEngine(TInflateEngine::Isal);
        EXPECT_EQ(Outcome(file), reference) << hex;
    }
}

// Long streams of many blocks through ISA-L, given and taken in pieces: back-references reach across
// block ends and calls, whether ISA-L decoded into its own buffer or straight into the output.
TEST(Engines, IsalInflatesLongStreamsInPiecesAsWritten) {
    if (!IsalInflaterBuilt()) GTEST_SKIP() << "no ISA-L";
    Bytes data(400000); // small literals, and runs copied from up to 32 KiB back
    for (std::uint32_t i = 0, seed = 1, run = 0, back = 0; i < data.size();
         ++i, seed = seed * 1103515245u + 12345u) {
        if (run == 0 && i > 32768 && (seed >> 16) % 3 == 0)
            run = 3 + (seed >> 8) % 300, back = 1 + (seed >> 17);
        data[i] = run != 0 ? (--run, data[i - back]) : std::uint8_t((seed >> 16) % 7);
    }
    for (const auto [level, memLevel, strategy] :
         {std::array{6, 1, 0}, std::array{1, 8, Z_FIXED}, std::array{0, 8, 0}}) {
        Bytes stream(compressBound(uLong(data.size())));
        z_stream z{};
        z.next_in = data.data(), z.avail_in = uInt(data.size()), z.next_out = stream.data(),
        z.avail_out = uInt(stream.size());
        ASSERT_EQ(deflateInit2(&z, level, Z_DEFLATED, 15, memLevel, strategy), Z_OK);
        ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
        stream.resize(z.total_out);
        deflateEnd(&z);
        for (const std::size_t outStep : {std::size_t{97}, std::size_t{32773}, data.size()})
            for (const std::size_t inStep : {std::size_t{13}, std::size_t{65535}}) {
                int r = Z_OK;
                const auto inflater = MakeImageInflater(TInflateEngine::Isal, r);
                Bytes out(data.size());
                for (TInflateBuffers io{stream.data(), 0, out.data(), 0}; r == Z_OK;
                     r = inflater->Inflate(io)) {
                    io.AvailIn = std::min(inStep, std::size_t(stream.data() + stream.size() - io.NextIn));
                    io.AvailOut = std::min(outStep, std::size_t(out.data() + out.size() - io.NextOut));
                }
                EXPECT_TRUE(r == Z_STREAM_END && out == data) << level << ", " << outStep << ", " << inStep;
            }
    }
}

TEST(Engines, AboveTheBudgetTheSaveStreamsThroughZlib) {
    if (SuiteMissing()) GTEST_SKIP() << "no PNG test images";
    const TEngines restore;
    TPNGObject image;
    Load(image, ReadFile("basn6a16"));
    SetImageDeflateEngine(TDeflateEngine::Zlib);
    const Bytes zlib = Save(image);
    SetImageDeflateEngine(TDeflateEngine::Libdeflate);
    image.DeflateBudget = 0;
    EXPECT_EQ(Save(image), zlib);
}

} // namespace

// The fast inflater takes the data of small chunks together: however the image data is cut into
// chunks, whatever follows its end (an empty or a stray IDAT chunk, another chunk, nothing), and
// wherever the file is cut short, the outcome is zlib's.
TEST(Engines, ImageDataInManySmallChunksReadsAsWithZlib) {
    if (!IsalInflaterBuilt() || SuiteMissing()) GTEST_SKIP() << "no ISA-L or no PNG test images";
    const TEngines restore;
    std::vector<std::pair<Bytes, Bytes>> images; // IHDR body, zlib stream
    for (const char* name : {"basn6a08", "basi2c16", "oi9n2c16"}) {
        const Bytes file = ReadFile(name);
        Bytes data;
        for (std::size_t at = 8; at + 12 <= file.size();) {
            const std::size_t length = std::size_t(file[at]) << 24 | std::size_t(file[at + 1]) << 16 |
                                       std::size_t(file[at + 2]) << 8 | file[at + 3];
            if (std::memcmp(&file[at + 4], "IDAT", 4) == 0)
                data.insert(data.end(), file.begin() + std::ptrdiff_t(at + 8),
                            file.begin() + std::ptrdiff_t(at + 8 + length));
            at += 12 + length;
        }
        images.emplace_back(Bytes(file.begin() + 16, file.begin() + 29), data);
    }
    Bytes raw; // a larger image: 600 x 200 RGBA, every filter type, in 8 KiB chunks it spans many gatherings
    for (std::uint32_t y = 0, seed = 3; y < 200; ++y) {
        raw.push_back(std::uint8_t(y % 5));
        for (int x = 0; x < 2400; ++x)
            raw.push_back(std::uint8_t((seed = seed * 1103515245u + 12345u) >> 29));
    }
    images.emplace_back(IhdrBody(600, 200, 8, 6), Compress(raw, 6));
    const Bytes text = Chunk("tEXt", {'a', 0, 'b'});
    for (const auto& [ihdr, data] : images)
        for (const std::size_t piece :
             {std::size_t{1}, std::size_t{7}, std::size_t{100}, std::size_t{8192}}) {
            std::vector<std::size_t> cuts;
            for (std::size_t at = piece; at < data.size(); at += piece)
                cuts.push_back(at);
            const Bytes chunks = SplitIdat(data, cuts);
            for (const Bytes& file :
                 {Png(ihdr, {chunks}), Png(ihdr, {chunks, Chunk("IDAT", {})}),
                  Png(ihdr, {chunks, Chunk("IDAT", {1, 2, 3})}), Png(ihdr, {chunks, text}),
                  Png(ihdr, {chunks, Chunk("IDAT", {}), text}),
                  Png(ihdr, {Bytes(chunks.begin(), chunks.end() - std::ptrdiff_t(chunks.size() / 3))})}) {
                SetImageInflateEngine(TInflateEngine::Zlib);
                const std::string reference = Outcome(file);
                SetImageInflateEngine(TInflateEngine::Isal);
                ASSERT_EQ(Outcome(file), reference) << data.size() << " bytes in pieces of " << piece;
            }
        }
}
