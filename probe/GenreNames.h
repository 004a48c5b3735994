#pragma once
// The genre names: the ID3v1 genre bytes 0 to 147 name the first ones, and the task editor offers
// them all, in this order.
#include <array>

inline constexpr int GenreCount = 164;
inline constexpr int Id3v1GenreCount = 148;
// The ID3v1 genres 0 to 147 (Blues to Synthpop) as the editor writes them, then the later additions.
extern const std::array<const char*, GenreCount> GenreNames;
