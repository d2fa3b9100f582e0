// The standard PNG test images beside the project: where they are, whether they are missing (a
// failure under CI, a skip elsewhere), and their names.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace pngtest {

inline std::string SuiteDir() {
    return std::string(VORLANTH_SHARED_DIR) + "/pngsuite";
}

// True when the folder is absent; under CI that is a failure as well, as the folder must be there.
inline bool SuiteMissing() {
    if (std::filesystem::is_directory(SuiteDir())) return false;
    const char* ci = std::getenv("CI");
    if (ci != nullptr && *ci != '\0')
        ADD_FAILURE() << "the PNG test image folder is missing under CI: " << SuiteDir();
    return true;
}

// Names (without ".png") of the suite's valid images or of its corrupt ones (those starting 'x').
inline std::vector<std::string> SuiteNames(bool corrupt) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(SuiteDir(), error)) {
        const std::filesystem::path& path = entry.path();
        if (path.extension() != ".png") continue;
        const std::string stem = path.stem().string();
        if (!stem.empty() && (stem[0] == 'x') == corrupt) names.push_back(stem);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace pngtest
