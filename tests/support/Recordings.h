// Small recordings made by the card generator for tests.
#pragma once

#include "cardgen/Recording.h"

#include <functional>
#include <string>

namespace testsupport {

struct SmallRecording {
    std::string fileName = "REC_20240315_081500_0.AVI"; // the name written into the telemetry stream
    int rearWidth = 160;      // 0: front channel only
    cardgen::Sound sound = cardgen::Sound::Aac;
    int fps = 15;
    int seconds = 3;
    int videoKbps = 400;
    int extraVideoStreams = 0;
    int startSeconds = 0;     // where on the drive the recording starts
    long long startUtc = 1710454500; // the clock of its first fix
    double impactAtSeconds = -1;
    int coldStartFixes = 0;
    bool gps = true; // false: G-sensor records only
    int bFrames = 0;
    std::function<void(std::vector<cardgen::TelemetryRecord> &)> editRecords;
};

// Writes a 320 x 180 front (and 160 x 90 rear) recording.
inline bool MakeRecording(const std::string &path, const SmallRecording &s,
                          std::vector<cardgen::TelemetryRecord> *written = nullptr)
{
    static const cardgen::Drive drive;
    cardgen::RecordingPlan plan;
    plan.fileName = s.fileName;
    plan.width = 320;
    plan.height = 180;
    plan.rearWidth = s.rearWidth;
    plan.rearHeight = s.rearWidth ? s.rearWidth * 9 / 16 : 0;
    plan.extraVideoStreams = s.extraVideoStreams;
    plan.fps = s.fps;
    plan.bFrames = s.bFrames;
    plan.videoKbps = s.videoKbps;
    plan.sound = s.sound;
    plan.stretch.seconds = s.seconds;
    plan.stretch.startSeconds = s.startSeconds;
    plan.stretch.startUtc = s.startUtc;
    if (s.impactAtSeconds >= 0)
        plan.stretch.impactAtSeconds = s.impactAtSeconds;
    plan.stretch.coldStartFixes = s.coldStartFixes;
    plan.gps = s.gps;
    plan.editRecords = s.editRecords;
    return cardgen::WriteRecording(path, plan, drive, written);
}

} // namespace testsupport
