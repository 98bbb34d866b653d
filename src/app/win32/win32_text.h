// The window's texts on Windows: GDI's DrawTextW with the system's message
// font, drawn into the painter's memory bitmap.
#pragma once

#include <windows.h>

#include "app/link_status.h"

// Draws the lines over what hDc holds, sized for cw x ch at nDpi; the band's shade is
// hShadeDc's one black pixel, stretched half transparent. A text drawn as in
// the paint before is neither measured nor converted again.
void DrawWindowText(HDC hDc, HDC hShadeDc, int cw, int ch, int nDpi, const WindowText& text);

// Releases the fonts (at the window's end).
void ReleaseWindowTextFonts();
