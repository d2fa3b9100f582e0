// The chunk list of an image: it owns its chunks, in stream order.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "png/pngchunk.h"

class TPNGList {
public:
    explicit TPNGList(TPNGObject* owner) : FOwnerImage(owner) {}
    TPNGList(const TPNGList&) = delete;
    TPNGList& operator=(const TPNGList&) = delete;

    TPNGObject* OwnerImage() const { return FOwnerImage; }
    std::uint32_t ItemCount() const { return static_cast<std::uint32_t>(FChunks.size()); }
    // Null when index >= ItemCount.
    TChunk* ChunkAt(std::uint32_t index) const {
        return index < FChunks.size() ? FChunks[index].get() : nullptr;
    }
    TChunk* AppendItem(std::unique_ptr<TChunk> chunk);
    // Inserts at position when position < ItemCount or the list is empty; otherwise the chunk is
    // freed and the result is null.
    TChunk* InsertAt(std::unique_ptr<TChunk> chunk, std::uint32_t position);
    // Takes the chunk out of the list and hands it back; null when absent.
    std::unique_ptr<TChunk> RemoveItem(const TChunk* chunk);
    // Frees every chunk.
    void Clear() { FChunks.clear(); }
    // The first chunk, in list order, of the class or of a class derived from it; null when none.
    TChunk* FindByClass(const TChunkClass& chunkClass) const;
    // Makes a chunk of the class and puts it at its standard place (see the implementation).
    TChunk* AddByClass(const TChunkClass& chunkClass);

private:
    TPNGObject* FOwnerImage;
    std::vector<std::unique_ptr<TChunk>> FChunks;
};
