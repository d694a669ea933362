// The 3GP file writer: one video track, written in one forward pass ("ftyp",
// "mdat" with every sample as it arrives, then "moov"), with one step back at
// the end to patch the size of "mdat".
#pragma once

#include "PictureOrder.h"

#include <cstddef>
#include <cstdint>

namespace clipmux {

// What the driver hands to Mp4FileOpenWr.
struct Mp4WrConfig {
    int32_t videoKind = 0;   // StreamKind; 0 = no video track
    int32_t audioKind = 0;   // no audio track is ever written
    int32_t audioParam1 = 0;
    int32_t audioParam2 = 0;
    int32_t videoTimeScale = 1000; // time stamps are in these units per second
    int32_t audioParam3 = 0;
    int32_t decoderConfigSize = 0;
    const uint8_t *decoderConfig = nullptr; // H.264 parameter sets or MPEG-4 headers
    int32_t width = 0;
    int32_t height = 0;
    uint32_t sizeLimit = 0; // largest end offset of "mdat" in bytes; 0 = as large as 32-bit offsets allow
    int64_t creationTime = -1; // Unix seconds written as the file's creation time; -1 = now
    bool mp4Brand = false;     // "isom" brands (an .mp4 file) instead of "3gp4"
};

// Results of Mp4FileWriteSample and friends.
enum Mp4Result : int {
    Mp4Ok = 0,
    Mp4NoVideoTrack = -1,
    Mp4OutOfMemory = -5,    // a sample table could not grow; the writer stopped
    Mp4SizeLimit = -6,      // the sample would not fit below the size limit; the writer stopped
    Mp4TimeNotIncreasing = -7, // the time stamp is not after the previous one; the sample was ignored
    Mp4WriteError = -8,     // the file could not be written
    Mp4TooLarge = -9,       // a single sample larger than the file format allows
};

struct Mp4Writer;

// Largest parameter-set counts the "avcC" box can hold.
inline constexpr size_t kMaxSps = 31;
inline constexpr size_t kMaxPps = 255;

// Opens the output and writes "ftyp" and the "mdat" header. Returns nullptr
// when the name is missing or too long, no video track is asked for, the
// configuration is unusable or the file cannot be created.
Mp4Writer *Mp4FileOpenWr(const char *fileName, const Mp4WrConfig &config);

// Adds a parameter set met in the middle of an H.264 stream (Annex B, with
// its start code) to the decoder configuration. Mp4TooLarge when the
// configuration has no room for it (the caller then keeps it in band).
int Mp4FileAddParameterSet(Mp4Writer *writer, const uint8_t *data, size_t size);

// Hands over one access unit (as the stream readers produce it) with its time
// stamp. Units before the first key frame are dropped; each unit is held back
// until the next one arrives, which gives its duration.
int Mp4FileWriteSample(Mp4Writer *writer, const uint8_t *data, size_t size, uint64_t timeStamp);

// The same for a picture that may be shown in another order than decoded:
// timeStamp is its decoding time, `order` its place in showing order. The
// decoding times are handed out again in showing order, shifted by the
// least delay that shows no picture before it is decoded; an edit list
// takes that delay away, so the first picture shown starts at 0. Streams in
// which every picture is shown as decoded get no composition offsets.
int Mp4FileWriteSampleInOrder(Mp4Writer *writer, const uint8_t *data, size_t size, uint64_t timeStamp,
                              PictureOrder order);

// The stream ended at endTimeStamp (the time the next unit would have had):
// stores the unit still held back, lasting until then.
int Mp4FileWriteEnd(Mp4Writer *writer, uint64_t endTimeStamp);

// Writes "moov", patches the "mdat" size, closes the file and frees the
// writer. A unit still held back is stored with the duration of the one
// before it. Returns Mp4Ok, or Mp4WriteError when any write failed.
int Mp4FileCloseWr(Mp4Writer *writer);

// Number of samples stored so far.
uint32_t Mp4FileSampleCount(const Mp4Writer *writer);

// Seconds since 1904-01-01 00:00:00 UTC for a time_t, as the file's
// creation and modification times; 0 for times before 1971.
uint32_t Mp4TimeFromUnix(int64_t unixSeconds);

} // namespace clipmux
