// The camera's files in the root folder of its card, read and written only
// inside that folder: never through a link that leads out of it, never from a
// FIFO or a device, never onto the computer's own disk once the card has gone.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

namespace drivora {

// Which folder a card's root is: the mount it belongs to, its device and its
// inode. A card pulled out and its mount folder left behind, or another card
// mounted there, no longer has the same identity.
struct CardRootId {
    bool valid = false;
    bool mountRoot = false; // the folder is where a volume is mounted
    uint64_t mountId = 0;
    uint64_t device = 0;
    uint64_t inode = 0;

    bool sameFolder(const CardRootId &o) const
    {
        return valid && o.valid && mountId == o.mountId && device == o.device && inode == o.inode;
    }
};

// The identity of a folder now (invalid when it cannot be looked at).
CardRootId IdentifyCardRoot(const QString &root);

enum class CardFileProblem {
    None,
    Missing,     // no such file on the card (reading only)
    NotAFile,    // a folder, FIFO, device or socket has the name
    LeadsOut,    // a link that leads out of the card
    CardGone,    // the card's folder is no longer the card
    Full,        // no space left
    ReadOnly,    // write-protected card or read-only mount
    Denied,      // no permission
    Failed,      // any other input or output error
};

struct CardFileError {
    CardFileProblem problem = CardFileProblem::None;
    QString path;   // the file concerned
    QString detail; // the system's own words, for the rest
};

// Where a card file is: the name of the entry in the root that holds it, in
// any case ("SETUP.CFG" as the camera's FAT card keeps it), the exact name
// first; the name itself when there is none.
QString CardFileName(const QString &root, const char *name);

// Reads a small regular file from the root (at most 1 MB). `expected`, when
// given, must still be the root's identity.
bool ReadCardFile(const QString &root, const char *name, QByteArray &data, const CardRootId *expected,
                  CardFileError *error);

// Writes each file beside its place (found as CardFileName finds it, through
// a link only when it stays on the card) and renames them into place only
// when all are whole; on failure nothing is left aside and the old files stay.
bool WriteCardFiles(const QString &root, const std::vector<std::pair<const char *, QByteArray>> &files,
                    const CardRootId *expected, CardFileError *error);

} // namespace drivora
