// The resource registry behind FindResourceA and its companions.
#include "platform/resource.h"

#include <cctype>
#include <deque>
#include <mutex>
#include <string>

// What a resource handle points at. Entries live in a deque and are never removed, so handles stay
// valid for the whole run.
struct HRSRC__ {
    bool IntegerName;
    std::string Name; // upper case, or the identifier's decimal digits
    bool IntegerType;
    std::string Type;
    const void* Data;
    std::size_t Size;
};

namespace {

// A name or type in one comparable form: integer identifiers by value, strings without regard to
// case (stored in upper case, as Windows does).
std::string Key(const char* text) {
    if (IS_INTRESOURCE(text)) return std::to_string(reinterpret_cast<std::uintptr_t>(text));
    std::string key(text);
    for (char& c : key)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

struct TResourceRegistry {
    std::mutex Lock;
    std::deque<HRSRC__> Entries;

    HRSRC__* Find(const char* name, const char* type) {
        const bool integerName = IS_INTRESOURCE(name), integerType = IS_INTRESOURCE(type);
        const std::string nameKey = Key(name), typeKey = Key(type);
        for (HRSRC__& entry : Entries)
            if (entry.IntegerName == integerName && entry.IntegerType == integerType &&
                entry.Name == nameKey && entry.Type == typeKey)
                return &entry;
        return nullptr;
    }
};

// Made on first use, so registrations from static initialisers in any order find it ready.
TResourceRegistry& Registry() {
    static TResourceRegistry registry;
    return registry;
}

} // namespace

void RegisterResource(const char* name, const char* type, const void* data, std::size_t size) {
    if (name == nullptr || type == nullptr) return;
    TResourceRegistry& registry = Registry();
    const std::lock_guard guard(registry.Lock);
    if (HRSRC__* existing = registry.Find(name, type)) {
        existing->Data = data;
        existing->Size = size;
        return;
    }
    registry.Entries.push_back(
        {IS_INTRESOURCE(name), Key(name), IS_INTRESOURCE(type), Key(type), data, size});
}

HRSRC FindResourceA(HMODULE, const char* name, const char* type) {
    if (name == nullptr || type == nullptr) return nullptr;
    TResourceRegistry& registry = Registry();
    const std::lock_guard guard(registry.Lock);
    return registry.Find(name, type);
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
    return resource;
}

DWORD SizeofResource(HMODULE, HRSRC resource) {
    return resource == nullptr ? 0 : static_cast<DWORD>(resource->Size);
}

void* LockResource(HGLOBAL data) {
    if (data == nullptr) return nullptr;
    // Windows hands out read-only resource memory through a non-const pointer too.
    return const_cast<void*>(static_cast<HRSRC__*>(data)->Data);
}
