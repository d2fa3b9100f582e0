// A drawing surface over a device context. The canvas does not own its handle: whoever made the
// device context deletes it, and detaches it from the canvas first.
#pragma once

#include "platform/wintypes.h"

class TCanvas {
public:
    TCanvas() = default;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;
    virtual ~TCanvas() = default;

    HDC Handle() const { return FHandle; }
    void SetHandle(HDC handle) { FHandle = handle; }
    bool HandleAllocated() const { return FHandle != nullptr; }

private:
    HDC FHandle = nullptr;
};
