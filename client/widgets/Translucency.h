// Whether translucent pixels of a window show what lies below it.
#pragma once

// False on X11 without a compositing manager: there such pixels show black and
// still take clicks, so frameless windows cut themselves to their outline.
bool windowsAreTranslucent();
