#pragma once

// The system's speaker and microphone levels, 0 to 100, over every playback
// endpoint and every microphone. Each call opens and closes its own
// connection to the sound server.

// Stores the level of the last playback endpoint that answered; keeps `level`
// when none did. Returns 0.
int getSpeakerVolume(float& level);
// Sets every playback endpoint; 1 when the endpoints could be listed, 0 when
// the sound server cannot be reached.
int setSpeakerVolume(float level);
// Stores the level of the last microphone; -1 when the sound server cannot be
// reached, otherwise 0.
int getMicrophoneVolume(float& level);
// Sets every microphone; 1, or 0 when the sound server cannot be reached.
int setMicrophoneVolume(float level);
