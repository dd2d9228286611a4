#pragma once

#include "photo/PhotoImage.h"
#include "photo/Rect.h"

class Canvas;

// Draws the picture stretched into the rectangle through the canvas; nothing for an empty holder.
// Pictures of other depths or channel counts, and 4-channel ones with an alpha below 255 anywhere,
// are converted for the draw only.
void DrawPicture(const Rect& destination, const PhotoImage& holder, Canvas& canvas);

// DrawPicture of a picture MakeDisplayPicture made: an 8-bit 4-channel one is known to be opaque
// and goes to the canvas from its own rows without a look at its alpha.
void DrawDisplayPicture(const Rect& destination, const PhotoImage& displayPicture, Canvas& canvas);
