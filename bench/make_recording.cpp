// Writes one test recording:
// make-recording FILE WIDTH HEIGHT REARWIDTH REARHEIGHT FPS SECONDS [BFRAMES]
#include "cardgen/Recording.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 8 && argc != 9) {
        std::fprintf(stderr, "usage: %s FILE WIDTH HEIGHT REARWIDTH REARHEIGHT FPS SECONDS [BFRAMES]\n", argv[0]);
        return 2;
    }
    cardgen::RecordingPlan plan;
    plan.fileName = "REC_20240315_081500_0.AVI";
    plan.width = std::atoi(argv[2]);
    plan.height = std::atoi(argv[3]);
    plan.rearWidth = std::atoi(argv[4]);
    plan.rearHeight = std::atoi(argv[5]);
    plan.fps = std::atoi(argv[6]);
    plan.stretch.seconds = std::atoi(argv[7]);
    plan.bFrames = argc == 9 ? std::atoi(argv[8]) : 0;
    plan.stretch.startUtc = 1710454500;
    plan.videoKbps = plan.width >= 1920 ? 8000 : 2500;
    const cardgen::Drive drive;
    return cardgen::WriteRecording(argv[1], plan, drive) ? 0 : 1;
}
