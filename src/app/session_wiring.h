// The one place where the capture side meets the stages after it.
#pragma once

struct SessionCallbacks;
struct VideoDecoder;
struct AudioPlayer;
struct Recorder;

// What the session's callbacks receive first (its pCallbackContext): the
// stages they feed. A null player drops the sound; a null recorder records nothing.
struct MirrorStages {
  VideoDecoder* pDecoder = nullptr;
  AudioPlayer* pAudio = nullptr;
  Recorder* pRecorder = nullptr;
};

// Fills every slot of an empty table and sets its installed flag: the audio
// and recorder handlers (reached through the MirrorStages that is the
// session's pCallbackContext), the video sinks (decoder, then recorder, with
// stages as their context), the user's log when bLogOn (WriteLogLine), and
// NoOpCallback elsewhere. The log slot stays null while the log is off, so no
// line is even formatted. Leaves an already installed table unchanged.
void InstallSessionCallbacks(SessionCallbacks& callbacks, MirrorStages& stages, bool bLogOn);
