#pragma once
// The button strip's icon sheet: 26 transport-style glyphs of 18 x 18
// pixels side by side, image rows 0-17 and mask rows 18-35 (mask black where
// the icon is, white elsewhere; image black outside the icon).
namespace basic {
class PictureBox;
}

void DrawIconSheet(basic::PictureBox& sheet);
// Icons that keep their own colours when the sheet is tinted.
bool IconKeepsColour(int icon);
