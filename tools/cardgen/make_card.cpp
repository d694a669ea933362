// make-card: writes a memory card folder with recordings of every kind, as
// the KVR-2650 camera would, for demonstrations and tests.
//
//   make-card FOLDER [--small | --large MB]
//
// --small makes short, low-resolution recordings (for tests); --large makes
// instead one continuous recording of at least MB megabytes at the camera's
// picture sizes and a high bit rate (for benchmarks).

#include "Drive.h"
#include "Recording.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

using namespace cardgen;
namespace fs = std::filesystem;

namespace {

// Local time of the camera (Korea, UTC+9) from a recording's name.
std::time_t utcOfName(const std::string &name)
{
    std::tm t{};
    t.tm_year = std::stoi(name.substr(4, 4)) - 1900;
    t.tm_mon = std::stoi(name.substr(8, 2)) - 1;
    t.tm_mday = std::stoi(name.substr(10, 2));
    t.tm_hour = std::stoi(name.substr(13, 2));
    t.tm_min = std::stoi(name.substr(15, 2));
    t.tm_sec = std::stoi(name.substr(17, 2));
    return timegm(&t) - 9 * 3600;
}

bool writeText(const fs::path &path, const std::string &text)
{
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char **argv)
{
    const bool small = argc == 3 && std::strcmp(argv[2], "--small") == 0;
    const bool large = argc == 4 && std::strcmp(argv[2], "--large") == 0 && std::atoi(argv[3]) > 0;
    if (argc != 2 && !small && !large) {
        std::fprintf(stderr, "usage: %s FOLDER [--small | --large MB]\n", argv[0]);
        return 2;
    }
    const fs::path card = argv[1];
    std::error_code ec;
    fs::create_directories(card, ec);
    if (ec) {
        std::fprintf(stderr, "cannot create %s: %s\n", card.c_str(), ec.message().c_str());
        return 1;
    }

    const Drive drive;
    if (large) {
        // A 12 Mbit/s front channel alone makes 1.5 MB a second; the rear
        // channel and the sound come on top.
        RecordingPlan plan;
        plan.fileName = "REC_20240315_090000_0.AVI";
        plan.videoKbps = 12000;
        const double bytesPerSecond = plan.videoKbps * 1000.0 / 8;
        plan.stretch.seconds = int(std::atoi(argv[3]) * 1e6 / bytesPerSecond) + 1;
        plan.stretch.startUtc = utcOfName(plan.fileName);
        fs::create_directories(card / "DRIVE");
        const fs::path path = card / "DRIVE" / plan.fileName;
        std::printf("writing %s (%d s)\n", path.c_str(), plan.stretch.seconds);
        std::fflush(stdout);
        return WriteRecording(path.string(), plan, drive) ? 0 : 1;
    }
    const double arrival = drive.durationSeconds();
    struct Item {
        const char *folder;
        const char *name;
        Motion motion;
        double driveSeconds; // where the recording starts in the drive
        Sound sound;
        bool rear;
        double impact, knock;
        int coldStart;
        double outageFrom, outageTo;
        bool noGps = false; // the GPS receiver unplugged
    } items[] = {
        {"DRIVE", "REC_20240315_081500_0.AVI", Motion::Driving, 0, Sound::Aac, true, -1, -1, 3, -1, -1},
        {"DRIVE", "REC_20240315_081530_0.AVI", Motion::Driving, 30, Sound::Aac, true, -1, -1, 0, -1, -1},
        {"EVENT", "EVT_20240315_081612_0.AVI", Motion::Driving, 72, Sound::Aac, true, 12.4, -1, 0, -1, -1},
        {"DRIVE", "REC_20240315_081700_0.AVI", Motion::Driving, 120, Sound::Aac, true, -1, -1, 0, 8, 14},
        {"DRIVE", "REC_20240315_082000_0.AVI", Motion::Driving, 300, Sound::Aac, true, -1, -1, 0, -1, -1},
        {"DRIVE", "REC_20240315_082500_0_LPSTOP.AVI", Motion::Driving, arrival - 28, Sound::Aac, true, -1, -1, 0,
         -1, -1},
        {"PARKING", "PRK_20240315_082600_0_LPSTART.AVI", Motion::Parked, 0, Sound::Pcm, true, -1, -1, 0, -1, -1},
        {"PARKING", "PRK_20240315_093000_0.AVI", Motion::Parked, 0, Sound::None, false, -1, -1, 0, -1, -1, true},
        {"PARKING", "MDI_20240315_101512_0.AVI", Motion::Parked, 0, Sound::Pcm, true, -1, 9.0, 0, -1, -1},
    };
    for (const Item &item : items) {
        RecordingPlan plan;
        plan.fileName = item.name;
        plan.sound = item.sound;
        plan.gps = !item.noGps;
        if (small) {
            plan.width = 320;
            plan.height = 180;
            plan.rearWidth = item.rear ? 160 : 0;
            plan.rearHeight = item.rear ? 90 : 0;
            plan.fps = 15;
            plan.videoKbps = 300;
        } else if (!item.rear) {
            plan.rearWidth = plan.rearHeight = 0;
        }
        plan.stretch.motion = item.motion;
        plan.stretch.startSeconds = item.driveSeconds;
        // The first two recordings follow on each other (one trip): 30 s each.
        plan.stretch.seconds = small ? 4 : (item.driveSeconds < 60 && item.motion == Motion::Driving ? 30 : 20);
        plan.stretch.startUtc = utcOfName(item.name);
        plan.stretch.impactAtSeconds = small && item.impact >= 0 ? 2.0 : item.impact;
        plan.stretch.knockAtSeconds = small && item.knock >= 0 ? 2.0 : item.knock;
        plan.stretch.coldStartFixes = item.coldStart;
        plan.stretch.outageFrom = small && item.outageFrom >= 0 ? 1 : item.outageFrom;
        plan.stretch.outageTo = small && item.outageTo >= 0 ? 2 : item.outageTo;
        fs::create_directories(card / item.folder);
        const fs::path path = card / item.folder / item.name;
        std::printf("writing %s\n", path.c_str());
        std::fflush(stdout);
        if (!WriteRecording(path.string(), plan, drive))
            return 1;
    }

    // The camera's own settings, as its settings dialog writes them (CR LF).
    const std::string setup = "Product Name            : KVR2650\r\n"
                              "H/W Version             : V1.0.0\r\n"
                              "S/W Version             : V0.0.6\r\n"
                              "Acc Trigger Level       : 3\r\n"
                              "REC Video Qulity        : 3\r\n"
                              "REC Audio Enable        : 1\r\n"
                              "SPK Vol                 : 3\r\n"
                              "Video Channles          : 2\r\n"
                              "Parking Mode Select     : 1\r\n"
                              "Parking Mode Time       : 0\r\n"
                              "Car Battery Volt        : 0\r\n"
                              "Battery CutOff Volt     : 3\r\n"
                              "Power Off Timer         : 2\r\n"
                              "LCD Off Time            : 1\r\n";
    if (!writeText(card / "setup.cfg", setup) || !writeText(card / "time.cfg", "24/03/15\r\n08/10/00\r\n")) {
        std::fprintf(stderr, "cannot write the settings files\n");
        return 1;
    }
    return 0;
}
