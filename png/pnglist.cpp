#include "png/pnglist.h"

#include <algorithm>

#include "png/pngchunk.h"
#include "png/pngerrors.h"
#include "png/pngheader.h"
#include "png/pngidat.h"
#include "png/pnglang.h"
#include "png/pngpalette.h"
#include "png/pngtext.h"

void TPNGPointerList::SetItemCount(std::uint32_t n) {
    FItemBlock.resize(n);
    if (n == 0) FItemBlock.shrink_to_fit();
    FItemCount = n;
}

void TPNGPointerList::AppendItem(void* item) {
    SetItemCount(FItemCount + 1);
    StoreAt(FItemCount - 1, item);
}

void TPNGPointerList::InsertAt(void* item, std::uint32_t position) {
    if (!(position < FItemCount || FItemCount == 0)) return;
    if (FItemCount == 0) position = 0;
    SetItemCount(FItemCount + 1);
    std::move_backward(FItemBlock.begin() + position, FItemBlock.begin() + FItemCount - 1,
                       FItemBlock.begin() + FItemCount);
    FItemBlock[position] = item;
}

void* TPNGPointerList::RemoveItem(void* item) {
    for (std::uint32_t i = FItemCount; i-- > 0;) {
        if (FItemBlock[i] == item) {
            std::move(FItemBlock.begin() + i + 1, FItemBlock.begin() + FItemCount, FItemBlock.begin() + i);
            --FItemCount;
            return item;
        }
    }
    return nullptr;
}

TChunk* TPNGList::FindByClass(const TChunkClass& chunkClass) const {
    for (std::uint32_t i = 0; i < ItemCount(); ++i) {
        TChunk* chunk = ChunkAt(i);
        if (chunk != nullptr && chunk->IsA(chunkClass)) return chunk;
    }
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

    std::unique_ptr<TChunk> chunk(chunkClass.CreateFor(OwnerImage()));
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
    const std::uint32_t before = ItemCount();
    InsertAt(chunk.get(), static_cast<std::uint32_t>(position));
    if (ItemCount() == before) return nullptr; // nowhere to put it (cannot happen with an end chunk)
    return chunk.release();
}
