// Paints the latest picture, letter-boxed, into the mirror window.
#pragma once

#include <windows.h>

// Composes the whole client area in a memory bitmap (black, then the picture
// scaled to fit) and copies it to the window in one block. For WM_PAINT only.
void PaintMirror(HWND hWindow);
