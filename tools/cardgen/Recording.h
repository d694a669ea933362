// Makes one recording file: encoded test pictures for each channel, sound,
// and the telemetry of a stretch of the drive, in the camera's AVI layout.
#pragma once

#include "Drive.h"

#include <functional>
#include <string>
#include <vector>

namespace cardgen {

enum class Sound { None, Aac, Pcm };

struct RecordingPlan {
    std::string fileName;
    int width = 1280, height = 720;         // front channel
    int rearWidth = 640, rearHeight = 360;  // rear channel; 0 = no rear camera
    int extraVideoStreams = 0;              // more video streams than the camera has (for tests)
    int fps = 30;
    Sound sound = Sound::Aac;
    int videoKbps = 2500;
    bool gps = true;                        // false: a camera without its GPS receiver (G-sensor only)
    int bFrames = 0;                        // B-frames between references (other cameras; tests)
    Stretch stretch;
    // Changes the drive's records before they are written (tests: fixes a
    // damaged receiver gives).
    std::function<void(std::vector<TelemetryRecord> &)> editRecords;
};

// Writes the recording; false with a message on standard error on failure.
// The telemetry records written are returned through `written` when given.
bool WriteRecording(const std::string &path, const RecordingPlan &plan, const Drive &drive,
                    std::vector<TelemetryRecord> *written = nullptr);

// Encoded H.264 access units of a test picture showing the label and the
// running time.
struct AccessUnit {
    std::vector<uint8_t> bytes;
    bool key = false;
};
std::vector<AccessUnit> EncodeTestPicture(const std::string &label, int width, int height, int fps, int frames,
                                          int kbps, const char *pattern, int bFrames = 0);

} // namespace cardgen
