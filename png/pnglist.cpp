#include "png/pnglist.h"

#include <algorithm>

#include "png/pngchunk.h"
#include "png/pngerrors.h"
#include "png/pngheader.h"
#include "png/pngidat.h"
#include "png/pnglang.h"
#include "png/pngpalette.h"
#include "png/pngtext.h"

TChunk* TPNGList::AppendItem(std::unique_ptr<TChunk> chunk) {
    FChunks.push_back(std::move(chunk));
    return FChunks.back().get();
}

TChunk* TPNGList::InsertAt(std::unique_ptr<TChunk> chunk, std::uint32_t position) {
    if (!(position < FChunks.size() || FChunks.empty())) return nullptr;
    if (FChunks.empty()) position = 0;
    return FChunks.insert(FChunks.begin() + position, std::move(chunk))->get();
}

std::unique_ptr<TChunk> TPNGList::RemoveItem(const TChunk* chunk) {
    const auto found =
        std::find_if(FChunks.begin(), FChunks.end(), [&](const auto& p) { return p.get() == chunk; });
    if (found == FChunks.end()) return nullptr;
    std::unique_ptr<TChunk> removed = std::move(*found);
    FChunks.erase(found);
    return removed;
}

TChunk* TPNGList::FindByClass(const TChunkClass& chunkClass) const {
    for (const auto& chunk : FChunks)
        if (chunk->IsA(chunkClass)) return chunk.get();
    return nullptr;
}

// Standard places: gamma and physical size right after the header; transparency after the palette,
// else before the image data, else after the header; anything else right before the end chunk.
TChunk* TPNGList::AddByClass(const TChunkClass& chunkClass) {
    const TChunkClass* cls = &chunkClass;
    if (cls == &TChunkIHDR::Class || cls == &TChunkIDAT::Class || cls == &TChunkPLTE::Class ||
        cls == &TChunkIEND::Class)
        RaisePngError<EPngError>(pnglang::EPngErrorExistentCriticalText);
    if ((cls == &TChunkgAMA::Class || cls == &TChunktRNS::Class || cls == &TChunkpHYs::Class) &&
        FindByClass(chunkClass) != nullptr)
        RaisePngError<EPngError>(pnglang::EPngErrorExistentCriticalText);
    TChunk* end = FindByClass(TChunkIEND::Class);
    TChunk* header = FindByClass(TChunkIHDR::Class);
    if (end == nullptr || header == nullptr) RaisePngError<EPngError>(pnglang::EPngErrorInvalidImageText);

    std::int32_t position;
    if (cls == &TChunkgAMA::Class || cls == &TChunkpHYs::Class) {
        position = header->IndexInList() + 1;
    } else if (cls == &TChunktRNS::Class) {
        if (TChunk* palette = FindByClass(TChunkPLTE::Class))
            position = palette->IndexInList() + 1;
        else if (TChunk* data = FindByClass(TChunkIDAT::Class))
            position = data->IndexInList();
        else
            position = header->IndexInList() + 1;
    } else {
        position = end->IndexInList();
    }
    return InsertAt(chunkClass.CreateFor(OwnerImage()), static_cast<std::uint32_t>(position));
}
