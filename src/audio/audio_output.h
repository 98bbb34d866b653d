// The platform's sound output for a player: SDL2 audio on Linux, waveOut on
// Windows. A thread of its own opens the card when the player's format is
// playable, re-opens it when the format changes and closes it at the end, so
// the capture thread never waits for the card. Without a sound device it
// logs one line and the program goes on silent.
#pragma once

struct AudioPlayer;

// On the main thread, before the capture thread runs.
void StartAudioOutput(AudioPlayer& player);

// On the main thread, after the capture thread has been joined.
void StopAudioOutput(AudioPlayer& player);
