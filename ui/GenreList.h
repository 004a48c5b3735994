#pragma once
// The genre names the task editor offers, in its order.
#include <array>

inline constexpr int GenreCount = 164;
// The ID3v1 genres 0 to 147 (Blues to Synthpop) as the editor writes them, then the later additions.
extern const std::array<const char*, GenreCount> GenreNames;
