#pragma once
// A window's position, size and state kept in the settings store, and the
// desktop's extent that keeps a restored window on screen.
#include <QString>
#include <cstdint>

class QWidget;

namespace basic {

// The largest right (axis 0) or bottom (axis 1) edge of all screens, in
// pixels or twips; measured once, then cached.
int32_t DesktopExtent(int axis, int inPixels);
// Replaces the cached extent (pixels); 0, 0 measures again on next use.
void SetDesktopExtent(int32_t right, int32_t bottom);

// A window's position and size (twips) and state (0 normal, 1 minimized,
// 2 maximized) under prefix + "WindowLeft", "WindowTop", "WindowHeight",
// "WindowWidth", "WindowState". Position and size are the outer ones, frame
// included, so that a save followed by a restore gives the same window.
void SaveWindowPlacement(QWidget* window, const QString& prefix, int skipSize, int skipState);
// A window that is not shown yet has no frame the window system has told of:
// its size is then restored as if it had none, and corrected as soon as the
// frame is known (after the first show) so that the outer size is the stored one.
void RestoreWindowPlacement(QWidget* window, const QString& prefix, int skipSize, int skipState, int skipPosition);

}  // namespace basic
