#pragma once

namespace kelvaro {
inline constexpr const char* kApplicationTitle = "Sardon Kelvaro";
inline constexpr const char* kVersionText = "Version 1.08b";
}  // namespace kelvaro
