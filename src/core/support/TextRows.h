#pragma once
// The rows of the text table, sorted by identifier; TextTable.cpp looks them up.
#include <cstdint>
#include <span>

namespace kmr {

struct TextRow {
    std::uint16_t id;
    const char* en;
    const char* ja;
};

std::span<const TextRow> TextRows();

}  // namespace kmr
