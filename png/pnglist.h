// The pointer lists of the PNG image library. Neither list owns what its entries point to.
#pragma once

#include <cstdint>
#include <vector>

class TPNGObject;
class TChunk;
struct TChunkClass;

// A growable array of untyped pointers. ItemCount may be below the block's length: removing an
// entry does not shrink the block.
class TPNGPointerList {
public:
    explicit TPNGPointerList(TPNGObject* owner) : FOwnerImage(owner) {}
    TPNGPointerList(const TPNGPointerList&) = delete;
    TPNGPointerList& operator=(const TPNGPointerList&) = delete;
    virtual ~TPNGPointerList() = default;

    TPNGObject* OwnerImage() const { return FOwnerImage; }
    std::uint32_t ItemCount() const { return FItemCount; }

    // Makes the block exactly n entries long (n = 0 frees it) and sets ItemCount to n. Entries
    // gained this way hold null.
    void SetItemCount(std::uint32_t n);
    // Null when index >= ItemCount.
    void* ItemAt(std::uint32_t index) const { return index < FItemCount ? FItemBlock[index] : nullptr; }
    // Ignored when index >= ItemCount.
    void StoreAt(std::uint32_t index, void* item) {
        if (index < FItemCount) FItemBlock[index] = item;
    }
    void AppendItem(void* item);
    // Inserts at position when position < ItemCount or the list is empty; otherwise nothing happens.
    void InsertAt(void* item, std::uint32_t position);
    // Removes the last entry equal to item and returns item; null when absent. Nothing is freed.
    virtual void* RemoveItem(void* item);

private:
    TPNGObject* FOwnerImage;
    std::uint32_t FItemCount = 0;
    std::vector<void*> FItemBlock;
};

// The chunk list of an image; its entries are TChunk objects owned by the image.
class TPNGList : public TPNGPointerList {
public:
    using TPNGPointerList::TPNGPointerList;

    TChunk* ChunkAt(std::uint32_t index) const { return static_cast<TChunk*>(ItemAt(index)); }
    // The first chunk, in list order, of the class or of a class derived from it; null when none.
    TChunk* FindByClass(const TChunkClass& chunkClass) const;
    // Makes a chunk of the class and puts it at its standard place (see the implementation).
    TChunk* AddByClass(const TChunkClass& chunkClass);
};
