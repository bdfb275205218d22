// Walls and sources taken from a bitmap, read one pixel at a time through a reader that the
// window's import feeds from GetPixel on its memory DC.
#pragma once

#include <cstdint>
#include <functional>

// Returns the pixel at (x, y) of the bitmap as a colour reference 0x00BBGGRR.
using pixel_reader = std::function<uint32_t(int x, int y)>;

inline constexpr uint32_t colorref_black = 0x000000;
inline constexpr uint32_t colorref_yellow = 0x00FFFF;

// Black pixels become walls, all others medium, over the bitmap laid at [128][146]; pixels
// that would fall outside the grid are ignored.
void judge_walls(const pixel_reader& read, int width, int height);

// Every pure yellow pixel moves source_pos there, sets right_click_count to 1 and, with
// source type 'T', adds a pulse. Returns the number found.
int32_t judge_sources(const pixel_reader& read, int width, int height);

// Scales pressure over the simulated region to a peak magnitude of 1 (walls to 0).
// Returns the peak magnitude found before scaling.
double normalize_pressure();
