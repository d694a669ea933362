// Writes one test recording: make-recording FILE WIDTH HEIGHT REARWIDTH REARHEIGHT FPS SECONDS
#include "cardgen/Recording.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 8) {
        std::fprintf(stderr, "usage: %s FILE WIDTH HEIGHT REARWIDTH REARHEIGHT FPS SECONDS\n", argv[0]);
        return 2;
    }
    cardgen::RecordingSpec spec;
    spec.fileName = "REC_20240315_081500_0.AVI";
    spec.width = std::atoi(argv[2]);
    spec.height = std::atoi(argv[3]);
    spec.rearWidth = std::atoi(argv[4]);
    spec.rearHeight = std::atoi(argv[5]);
    spec.fps = std::atoi(argv[6]);
    spec.stretch.seconds = std::atoi(argv[7]);
    spec.stretch.startUtc = 1710454500;
    spec.videoKbps = spec.width >= 1920 ? 8000 : 2500;
    const cardgen::Drive drive;
    return cardgen::WriteRecording(argv[1], spec, drive) ? 0 : 1;
}
