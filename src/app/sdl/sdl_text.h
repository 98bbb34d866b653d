// The window's texts on Linux, with SDL2_ttf and a packaged font found at run
// time: the status lines in the middle and the band at the bottom.
#pragma once

#include <SDL.h>

#include "app/link_status.h"

// Opens the font: $VELTRONA_FONT when set, else the packaged one. Without a
// font the program runs on: one line on standard error, and no text.
void OpenWindowFont();
void CloseWindowFont();

// Draws the lines over what the renderer holds, sized for cw x ch.
void DrawWindowText(SDL_Renderer* pRenderer, int cw, int ch, const WindowText& text);
