// The demo's pictures, drawn in code: smooth, shaded 32 x 32 icons as PNG streams.
#pragma once

#include <cstdint>
#include <vector>

enum class TIcon { Play, Star, Heart, Check };
// How the icon is tinted: as it is, lighter for the pointer over it, deeper while pressed.
enum class TTint { Normal, Light, Deep };

std::vector<std::uint8_t> IconPng(TIcon icon, TTint tint);
