// The light colours of the desktop the window was laid out for (button face,
// window, text and three-dimensional edges), pinned so that the window's own
// text colours keep their contrast under a dark desktop theme.
#pragma once

#include <QPalette>

QPalette form1Palette();
