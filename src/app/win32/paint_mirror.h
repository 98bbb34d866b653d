// Paints the latest picture, letter-boxed, into the mirror window, with the
// window's texts over it.
#pragma once

#include <windows.h>

#include <cstdint>

// Composes the whole client area in a memory bitmap (black, the picture
// scaled to fit, the texts) and copies it to the window in one block. For
// WM_PAINT only. The converted picture and the memory bitmap are kept
// between paints. Returns the tick at which the texts change by themselves (0: never).
uint64_t PaintMirror(HWND hWindow);

// Frees what the paints kept (when the window is destroyed).
void ReleasePaintSurfaces();
