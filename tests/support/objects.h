// Leak checks over the platform's count of live objects. Wine answers 0 to that count, so there the
// checks are left out, and the run says so once; on Linux and on Windows they always run.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/gdi.h"

inline bool ObjectsCounted() {
    static const bool counted = [] {
        if (!RunningUnderWine()) return true;
        std::fprintf(stderr, "note: object-count leak checks left out: Wine does not count GDI objects\n");
        return false;
    }();
    return counted;
}

// EXPECT_EQ(GdiObjectCount(), expected) where the platform counts objects; streams a message as
// EXPECT_EQ does.
#define EXPECT_OBJECT_COUNT(expected)                                                                        \
    switch (0)                                                                                               \
    case 0:                                                                                                  \
    default:                                                                                                 \
        if (!ObjectsCounted()) {                                                                             \
        } else                                                                                               \
            EXPECT_EQ(GdiObjectCount(), (expected))
