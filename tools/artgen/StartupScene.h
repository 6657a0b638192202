#pragma once

#include <QImage>

namespace artgen {

// The start-up picture shown behind the connection progress: 873 × 665.
// Everything from y = 560 down is left as a quiet dark band for the
// status text, version label and progress bar drawn over it.
inline constexpr int kStartupWidth = 873;
inline constexpr int kStartupHeight = 665;
inline constexpr int kOverlayTop = 560;

QImage drawStartupScene();

} // namespace artgen
