#pragma once
// Test helpers for the condition files: a private temporary folder, whole-file bytes, repeated text.
#include <string>

#include "support/TempDir.h"

namespace kmr::testing {

// `text` repeated `n` times.
inline std::string Repeat(const std::string& text, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += text;
    return out;
}

}  // namespace kmr::testing
