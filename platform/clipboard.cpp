// The clipboard store. It has a lock of its own, taken before the object registry's when both are
// needed (deleting what it owns), never after.
#include "platform/clipboard.h"

#include <map>
#include <mutex>
#include <new>

#include "platform/draw_internal.h"
#include "platform/gdi.h"

using draw_internal::Locked;
using gdi_internal::Registry;

namespace {

struct Clipboard {
    std::mutex mutex;
    bool open = false;
    void* owner = nullptr;
    std::map<UINT, HANDLE> items; // one per format
    DWORD sequence = 0;
    DWORD sequenceAtOpen = 0;
    void (*handler)(void*) = nullptr;
    void* handlerContext = nullptr;
};

// The store held under its lock to the end of the caller's scope.
struct LockedClipboard {
    Clipboard& store;
    std::lock_guard<std::mutex> lock;
};
LockedClipboard LockedStore() {
    static Clipboard store;
    return {store, std::lock_guard<std::mutex>(store.mutex)};
}

} // namespace

BOOL OpenClipboard(void* owner) {
    auto&& [store, lock] = LockedStore();
    if (store.open && store.owner != owner) return FALSE;
    if (!store.open) store.sequenceAtOpen = store.sequence;
    store.open = true;
    store.owner = owner;
    return TRUE;
}

BOOL CloseClipboard() {
    void (*handler)(void*) = nullptr;
    void* context = nullptr;
    {
        auto&& [store, lock] = LockedStore();
        if (!store.open) return FALSE;
        store.open = false;
        if (store.sequence != store.sequenceAtOpen) {
            handler = store.handler;
            context = store.handlerContext;
        }
    }
    // Outside the lock: the handler reads the store itself.
    if (handler != nullptr) handler(context);
    return TRUE;
}

void SetClipboardUpdateHandler(void (*handler)(void* context), void* context) {
    auto&& [store, lock] = LockedStore();
    store.handler = handler;
    store.handlerContext = context;
}

BOOL EmptyClipboard() {
    auto&& [store, lock] = LockedStore();
    if (!store.open) return FALSE;
    for (const auto& item : store.items)
        DeleteObject(static_cast<HGDIOBJ>(item.second));
    store.items.clear();
    ++store.sequence;
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
    auto&& [store, lock] = LockedStore();
    if (!store.open || !data) return nullptr;
    // Only live bitmaps (CF_BITMAP) and palettes (CF_PALETTE) can be handed over.
    const bool known = Locked([&](Registry& objects) {
        return (format == CF_BITMAP && objects.FindBitmap(data)) ||
               (format == CF_PALETTE && objects.FindPalette(data));
    });
    if (!known) return nullptr;
    try {
        HANDLE& slot = store.items[format];
        if (slot && slot != data) DeleteObject(static_cast<HGDIOBJ>(slot));
        slot = data;
        ++store.sequence;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return data;
}

HANDLE GetClipboardData(UINT format) {
    auto&& [store, lock] = LockedStore();
    if (!store.open) return nullptr;
    const auto it = store.items.find(format);
    return it == store.items.end() ? nullptr : it->second;
}

BOOL IsClipboardFormatAvailable(UINT format) {
    auto&& [store, lock] = LockedStore();
    return store.items.count(format) != 0 ? TRUE : FALSE;
}
