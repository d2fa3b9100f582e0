// Image data inflated by ISA-L, answering as zlib does.
//
// ISA-L decodes the blocks; this file keeps the zlib framing (header, Adler-32 trailer) and checks
// every block header with zlib's rules before ISA-L sees it, because ISA-L accepts some headers that
// zlib refuses (incomplete code sets, for one) and would then decode data zlib never gives. Each
// block is handed over with its final flag forced, so ISA-L stops at the block's end and the next
// header can be checked; the next block goes on in the same state, told to read a new header, with
// the last 32 KiB of output kept in ISA-L's own history buffer. A header that zlib might refuse, or
// might accept with rules of its own (a single or missing distance code), is reported as a data
// error: the reader then reads the image data once more with zlib, whose verdict stands. Streams
// with a window other than 32 KiB, a preset dictionary or a header zlib refuses go to zlib whole.
#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/faults.h"
#include "png/pngcrc.h"
#include "png/pnginflate.h"

namespace {

using u8 = std::uint8_t;

constexpr std::size_t kWindow = 32768;
// More than the longest block header (about 600 bytes with every repeat code at its longest).
constexpr std::size_t kHeaderBytes = 1024;
// Output ISA-L holds back at a block's end: at most the last symbols that did not fit.
constexpr std::size_t kMaxPending = 1024;

// Bits of a byte string, least significant first, from a starting bit. The string is followed by
// kBitsPadding readable bytes, so up to 16 bits come from one four-byte read.
constexpr std::size_t kBitsPadding = 4;
class TBits {
public:
    TBits(const u8* bytes, std::size_t count, std::size_t startBit)
        : Bytes(bytes), Limit(count * 8), Position(startBit) {}
    bool Has(unsigned count) const { return Position + count <= Limit; }
    unsigned Peek(unsigned count) const {
        const u8* at = Bytes + (Position >> 3);
        const std::uint32_t word =
            at[0] | unsigned(at[1]) << 8 | unsigned(at[2]) << 16 | std::uint32_t(at[3]) << 24;
        return (word >> (Position & 7)) & ((1u << count) - 1);
    }
    unsigned Get(unsigned count) {
        const unsigned value = Peek(count);
        Position += count;
        return value;
    }
    void AlignToByte() { Position = (Position + 7) & ~std::size_t{7}; }

private:
    const u8* Bytes;
    std::size_t Limit;
    std::size_t Position;
};

// Whether code lengths make a complete prefix code: neither over-subscribed nor incomplete nor empty.
// Lengths are counted in four tallies, one for every fourth: a run of equal lengths (the rule in a
// block header) would otherwise make each count wait for the one before.
bool CompleteCode(const u8* lengths, unsigned count) {
    unsigned counts[4][16] = {};
    unsigned i = 0;
    for (; i + 4 <= count; i += 4)
        for (unsigned k = 0; k < 4; ++k)
            ++counts[k][lengths[i + k]];
    for (; i < count; ++i)
        ++counts[0][lengths[i]];
    int left = 1;
    for (unsigned length = 1; length <= 15; ++length) {
        left = 2 * left - int(counts[0][length] + counts[1][length] + counts[2][length] + counts[3][length]);
        if (left < 0) return false;
    }
    return left == 0;
}

// The code-length code of a dynamic header (it is complete: checked first), decoded through a table
// of every 7-bit string, or a bit at a time where fewer bits are left.
class TCodeLengthCode {
public:
    explicit TCodeLengthCode(const u8 (&lengths)[19]) {
        for (unsigned symbol = 0; symbol < 19; ++symbol)
            ++Counts[lengths[symbol]];
        unsigned offsets[8] = {}, next[8] = {};
        for (unsigned length = 1, code = 0; length < 8; ++length) {
            if (length < 7) offsets[length + 1] = offsets[length] + Counts[length];
            next[length] = code = (code + (length > 1 ? Counts[length - 1] : 0)) << (length > 1 ? 1 : 0);
        }
        for (unsigned symbol = 0; symbol < 19; ++symbol) {
            const unsigned length = lengths[symbol];
            if (length == 0) continue;
            Symbols[offsets[length]++] = u8(symbol);
            // The code is sent from its first bit on: the table is indexed by the bits reversed.
            unsigned reversed = 0;
            for (unsigned i = 0, code = next[length]++; i < length; ++i)
                reversed |= ((code >> i) & 1u) << (length - 1 - i);
            for (unsigned rest = reversed; rest < 128; rest += 1u << length)
                Table[rest] = std::uint16_t(symbol | length << 8);
        }
    }
    // The next symbol, or -1 when the bits run out first.
    int Decode(TBits& bits) const {
        if (bits.Has(7)) {
            const unsigned entry = Table[bits.Peek(7)];
            bits.Get(entry >> 8);
            return int(entry & 0xFF);
        }
        int code = 0, first = 0, index = 0;
        for (unsigned length = 1; length <= 7; ++length) {
            if (!bits.Has(1)) return -1;
            code |= int(bits.Get(1));
            const int count = int(Counts[length]);
            if (code - count < first) return Symbols[std::size_t(index + code - first)];
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return -1; // unreachable for a complete code
    }

private:
    std::uint16_t Table[128] = {};
    unsigned Counts[8] = {};
    u8 Symbols[19] = {};
};

enum class THeader { Valid, Incomplete, Refused };

// One block header checked by zlib's rules. Refused covers every header zlib refuses, and also the
// ones whose codes are incomplete, which zlib accepts in two narrow cases but decodes by rules of
// its own.
THeader CheckBlockHeader(TBits& in, bool& final) {
    if (!in.Has(3)) return THeader::Incomplete;
    final = in.Get(1) != 0;
    switch (in.Get(2)) {
    case 0: {
        in.AlignToByte();
        if (!in.Has(32)) return THeader::Incomplete;
        const unsigned length = in.Get(16), complement = in.Get(16);
        return length == (~complement & 0xFFFFu) ? THeader::Valid : THeader::Refused;
    }
    case 1: return THeader::Valid;
    case 2: break;
    default: return THeader::Refused;
    }
    if (!in.Has(14)) return THeader::Incomplete;
    const unsigned literals = in.Get(5) + 257, distances = in.Get(5) + 1, codeLengths = in.Get(4) + 4;
    if (literals > 286 || distances > 30) return THeader::Refused;
    static constexpr u8 kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    u8 codeLengthLengths[19] = {};
    for (unsigned i = 0; i < codeLengths; ++i) {
        if (!in.Has(3)) return THeader::Incomplete;
        codeLengthLengths[kOrder[i]] = u8(in.Get(3));
    }
    if (!CompleteCode(codeLengthLengths, 19)) return THeader::Refused;
    const TCodeLengthCode code(codeLengthLengths);
    u8 lengths[286 + 30] = {};
    const unsigned total = literals + distances;
    for (unsigned have = 0; have < total;) {
        const int symbol = code.Decode(in);
        if (symbol < 0) return THeader::Incomplete;
        if (symbol < 16) {
            lengths[have++] = u8(symbol);
            continue;
        }
        static constexpr unsigned kExtra[3] = {2, 3, 7}, kBase[3] = {3, 3, 11};
        const unsigned k = unsigned(symbol) - 16;
        if (k == 0 && have == 0) return THeader::Refused;
        if (!in.Has(kExtra[k])) return THeader::Incomplete;
        const unsigned copy = kBase[k] + in.Get(kExtra[k]);
        if (have + copy > total) return THeader::Refused;
        const u8 repeated = k == 0 ? lengths[have - 1] : u8(0);
        std::fill_n(lengths + have, copy, repeated);
        have += copy;
    }
    if (lengths[256] == 0) return THeader::Refused;
    if (!CompleteCode(lengths, literals) || !CompleteCode(lengths + literals, distances))
        return THeader::Refused;
    return THeader::Valid;
}

class TIsalInflater final : public TImageInflater {
public:
    int Inflate(TInflateBuffers& b) override {
        if (Zlib) return Zlib->Inflate(b);
        if (Phase == TPhase::Failed) return Z_DATA_ERROR;
        if (Phase == TPhase::Done) return Z_STREAM_END;
        if (Phase == TPhase::StreamHeader) {
            if (b.AvailIn == 0) return Z_BUF_ERROR;
            const u8 cmf = b.NextIn[0], flg = b.AvailIn > 1 ? b.NextIn[1] : 0;
            // Deflate with a 32 KiB window, the header's check right, no dictionary.
            if (b.AvailIn < 2 || cmf != 0x78 || ((cmf << 8) | flg) % 31 != 0 || (flg & 0x20) != 0) {
                int result = Z_OK;
                Zlib = MakeZlibInflater(result);
                return Zlib ? Zlib->Inflate(b) : result;
            }
            b.NextIn += 2;
            b.AvailIn -= 2;
            Phase = TPhase::BlockHeader;
            Run(b);
            return Phase == TPhase::Failed ? Z_DATA_ERROR : Phase == TPhase::Done ? Z_STREAM_END : Z_OK;
        }
        const std::size_t in = b.AvailIn, out = b.AvailOut;
        Run(b);
        if (Phase == TPhase::Failed) return Z_DATA_ERROR;
        if (Phase == TPhase::Done) return Z_STREAM_END;
        return in == b.AvailIn && out == b.AvailOut ? Z_BUF_ERROR : Z_OK;
    }

    std::unique_ptr<inflate_state> State = std::make_unique<inflate_state>();

private:
    enum class TPhase { StreamHeader, BlockHeader, Block, Trailer, Done, Failed };

    // Goes as far as the input and the output allow.
    void Run(TInflateBuffers& b) {
        for (;;) {
            switch (Phase) {
            case TPhase::BlockHeader:
                if (!StartBlock(b)) return;
                break;
            case TPhase::Block:
                if (!Decode(b)) return;
                break;
            case TPhase::Trailer: CheckTrailer(b); return;
            default: return;
            }
        }
    }

    // Checks the next block header and hands the block to ISA-L; false when more input is needed or
    // the header is refused.
    bool StartBlock(TInflateBuffers& b) {
        // The header's bits: the carried ones, byte-aligned by a few leading bits, then the bytes.
        std::array<u8, 8 + kHeaderBytes + kBitsPadding> bytes{};
        const unsigned lead = (8 - CarryCount % 8) % 8;
        std::size_t count = (CarryCount + lead) / 8;
        const std::uint64_t aligned = CarryBits << lead;
        for (std::size_t i = 0; i < count; ++i)
            bytes[i] = u8(aligned >> (8 * i));
        const std::size_t held = std::min(PendingCount - PendingAt, kHeaderBytes);
        std::memcpy(bytes.data() + count, Pending.data() + PendingAt, held);
        count += held;
        const std::size_t taken = std::min(b.AvailIn, kHeaderBytes - held);
        if (taken != 0) std::memcpy(bytes.data() + count, b.NextIn, taken);
        count += taken;

        TBits bits(bytes.data(), count, lead);
        bool final = false;
        switch (CheckBlockHeader(bits, final)) {
        case THeader::Refused: Phase = TPhase::Failed; return false;
        case THeader::Incomplete:
            if (taken < b.AvailIn || PendingCount - PendingAt + b.AvailIn > kHeaderBytes) {
                Phase = TPhase::Failed; // no header is this long
                return false;
            }
            // Hold the caller's bytes until the header is whole.
            std::memmove(Pending.data(), Pending.data() + PendingAt, PendingCount - PendingAt);
            PendingCount -= PendingAt;
            PendingAt = 0;
            if (b.AvailIn != 0) std::memcpy(Pending.data() + PendingCount, b.NextIn, b.AvailIn);
            PendingCount += b.AvailIn;
            b.NextIn += b.AvailIn;
            b.AvailIn = 0;
            return false;
        case THeader::Valid: break;
        }
        FinalBlock = final;
        // The state goes on from the block before (its history kept by Decode): a new header next.
        State->block_state = ISAL_BLOCK_NEW_HDR;
        State->bfinal = 0;
        // The block's first bit is its final flag: set, ISA-L stops when the block ends.
        if (CarryCount == 0) {
            CarryBits = TakeByte(b);
            CarryCount = 8;
        }
        State->read_in = CarryBits | 1u;
        State->read_in_length = static_cast<std::int32_t>(CarryCount);
        CarryBits = 0;
        CarryCount = 0;
        Phase = TPhase::Block;
        return true;
    }

    u8 TakeByte(TInflateBuffers& b) {
        if (PendingAt < PendingCount) return Pending[PendingAt++];
        --b.AvailIn;
        return *b.NextIn++;
    }

    // Lets ISA-L decode the current block; true when it has ended (the next phase is set).
    bool Decode(TInflateBuffers& b) {
        for (;;) {
            const bool held = PendingAt < PendingCount;
            const u8* in = held ? Pending.data() + PendingAt : b.NextIn;
            const std::size_t available = held ? PendingCount - PendingAt : b.AvailIn;
            State->next_in = const_cast<u8*>(in);
            State->avail_in = static_cast<std::uint32_t>(std::min<std::size_t>(available, UINT32_MAX));
            State->next_out = b.NextOut;
            State->avail_out = static_cast<std::uint32_t>(std::min<std::size_t>(b.AvailOut, UINT32_MAX));
            const std::uint32_t before = State->avail_in, room = State->avail_out;
            const std::int32_t kept = State->tmp_out_processed;
            const int r = isal_inflate(State.get());
            const std::size_t used = before - State->avail_in, made = room - State->avail_out;
            if (held)
                PendingAt += used;
            else {
                b.NextIn += used;
                b.AvailIn -= used;
            }
            Produced(b.NextOut, made);
            b.NextOut += made;
            b.AvailOut -= made;
            // The bytes given out from ISA-L's buffer; the rest went straight into the caller's.
            const std::int64_t copied = std::int64_t(State->tmp_out_processed) - kept;
            const bool ended =
                State->block_state == ISAL_BLOCK_INPUT_DONE || State->block_state == ISAL_BLOCK_FINISH;
            if (r < 0 || (ended && !FinalBlock &&
                          (copied < 0 || std::uint64_t(copied) > made ||
                           !KeepHistory(b.NextOut, made - std::size_t(copied))))) {
                Phase = TPhase::Failed;
                return false;
            }
            if (State->block_state == ISAL_BLOCK_FINISH) {
                // The bits ISA-L read past the block's end start whatever follows.
                CarryCount = static_cast<unsigned>(std::clamp(State->read_in_length, 0, 64));
                CarryBits = CarryCount == 0    ? 0
                            : CarryCount == 64 ? State->read_in
                                               : State->read_in & ((std::uint64_t{1} << CarryCount) - 1);
                Phase = FinalBlock ? TPhase::Trailer : TPhase::BlockHeader;
                return true;
            }
            // Held bytes used up: go on with the caller's.
            if (held && PendingAt == PendingCount && made < room) continue;
            return false;
        }
    }

    // The Adler-32 of the output, four bytes from the next byte boundary, most significant first.
    void CheckTrailer(TInflateBuffers& b) {
        if (CarryCount % 8 != 0) {
            CarryBits >>= CarryCount % 8;
            CarryCount -= CarryCount % 8;
        }
        while (TrailerHave < 4) {
            if (CarryCount != 0) {
                Trailer = Trailer << 8 | u8(CarryBits);
                CarryBits >>= 8;
                CarryCount -= 8;
            } else if (PendingAt < PendingCount || b.AvailIn != 0)
                Trailer = Trailer << 8 | TakeByte(b);
            else
                return;
            ++TrailerHave;
        }
        Phase = Trailer == Adler ? TPhase::Done : TPhase::Failed;
    }

    // ISA-L keeps the output's history in its buffer only while a stream goes on: at the end of the
    // (forced) final block it leaves it as it was. Puts the last 32 KiB of output there so the next
    // block can refer back to it: the buffer holds the output up to its processed mark, then bytes
    // not yet given out; `direct` bytes were decoded since straight into the caller's memory, just
    // before `end`. The processed mark must also not exceed 32 KiB at the next block's start: ISA-L
    // decodes into its buffer until that holds 64 KiB, then straight into the caller's memory, from
    // where it reaches back only as far as that call's output.
    bool KeepHistory(const u8* end, std::size_t direct) {
        u8* const buffer = State->tmp_out_buffer;
        const auto processed = static_cast<std::size_t>(State->tmp_out_processed);
        const auto valid = static_cast<std::size_t>(State->tmp_out_valid);
        if (processed > valid) return false;
        const std::size_t pending = valid - processed;
        if (direct == 0 && (pending != 0 || processed <= kWindow)) return true;
        if (pending > kMaxPending) return false;
        // The last bytes of the output so far: the buffer's tail, then what went straight out.
        const std::size_t fresh = std::min(direct, kWindow), keep = std::min(kWindow - fresh, processed);
        std::array<u8, kMaxPending> held;
        std::memcpy(held.data(), buffer + processed, pending);
        std::memmove(buffer, buffer + processed - keep, keep);
        std::memcpy(buffer + keep, end - fresh, fresh);
        std::memcpy(buffer + keep + fresh, held.data(), pending);
        State->tmp_out_processed = static_cast<std::int32_t>(keep + fresh);
        State->tmp_out_valid = static_cast<std::int32_t>(keep + fresh + pending);
        return true;
    }

    void Produced(const u8* out, std::size_t count) {
        if (count != 0) Adler = isal_adler32(Adler, out, count);
    }

    std::unique_ptr<TImageInflater> Zlib;
    TPhase Phase = TPhase::StreamHeader;
    bool FinalBlock = false;
    std::uint64_t CarryBits = 0; // bits already read from the input, not yet used
    unsigned CarryCount = 0;
    std::array<u8, kHeaderBytes> Pending{}; // input bytes taken from the caller, not yet read
    std::size_t PendingAt = 0, PendingCount = 0;
    std::uint32_t Adler = 1;
    std::uint32_t Trailer = 0;
    unsigned TrailerHave = 0;
};

} // namespace

std::uint32_t EngineCrc32(std::uint32_t crc, const std::uint8_t* bytes, std::size_t count) {
    return crc32_gzip_refl(crc, bytes, count);
}

bool IsalInflaterBuilt() {
    return true;
}

std::unique_ptr<TImageInflater> MakeIsalInflater(int& result) {
    // The state (about 100 KiB) is an allocation point of the failure sweeps, as zlib's are.
    if (faults::ShouldFail()) {
        result = Z_MEM_ERROR;
        return nullptr;
    }
    auto inflater = std::make_unique<TIsalInflater>();
    isal_inflate_init(inflater->State.get());
    inflater->State->crc_flag = ISAL_DEFLATE;
    result = Z_OK;
    return inflater;
}
