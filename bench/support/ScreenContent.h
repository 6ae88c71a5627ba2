// Screen-like 1920x1080 BGRA pictures for the encode benchmark.
#pragma once

#include <cstdint>
#include <vector>

enum class ScreenContent { TextPage, Scrolling, Still };

const char* ContentName(ScreenContent content);

// Picture `index` of a sequence: a text page being typed into, a page
// scrolling up a few rows per picture, or the same screen every time.
std::vector<uint8_t> ContentPicture(ScreenContent content, int width, int height, int index);
