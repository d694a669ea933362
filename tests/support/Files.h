// Small file helpers for tests: whole files as bytes, and a full disk.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace testsupport {

inline std::string ReadText(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

inline bool WriteText(const std::string &path, const std::string &bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(f.flush());
}

// Replaces every occurrence of a four-character code (a chunk id) in place.
inline size_t ReplaceFourCc(std::string &bytes, const char *from, const char *to)
{
    size_t count = 0;
    for (size_t at = bytes.find(from, 0, 4); at != std::string::npos; at = bytes.find(from, at + 4, 4)) {
        bytes.replace(at, 4, to, 4);
        ++count;
    }
    return count;
}

// A small file system of its own (tmpfs), mounted for the test's lifetime, so
// that writing can really run out of space. Needs the right to mount (root);
// available() says whether it could be made.
class SmallDisk {
public:
    explicit SmallDisk(const std::string &size = "64k") : m_size(size)
    {
        char pattern[] = "/tmp/drivora-disk-XXXXXX";
        if (!::mkdtemp(pattern))
            return;
        m_path = pattern;
        const std::string options = "size=" + size;
        m_mounted = ::mount("tmpfs", m_path.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount(m_path.c_str());
        if (!m_path.empty())
            ::rmdir(m_path.c_str());
    }
    // Takes the disk away (as a card pulled out), leaving its empty folder;
    // mount() puts a fresh one there again.
    bool unmount()
    {
        if (m_mounted && ::umount(m_path.c_str()) == 0)
            m_mounted = false;
        return !m_mounted;
    }
    bool mount()
    {
        if (!m_mounted && !m_path.empty())
            m_mounted = ::mount("tmpfs", m_path.c_str(), "tmpfs", 0, ("size=" + m_size).c_str()) == 0;
        return m_mounted;
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool available() const { return m_mounted; }
    std::string path() const { return m_path; }
    std::string file(const std::string &name) const { return m_path + "/" + name; }

    // Takes every free byte with a filler file.
    void fill() const
    {
        std::ofstream f(file(".filler"), std::ios::binary);
        const std::vector<char> block(4096, 'f');
        while (f.write(block.data(), std::streamsize(block.size())))
            ;
        // Tmpfs counts whole pages: the last partial one may still be free.
        std::ofstream g(file(".filler2"), std::ios::binary);
        while (g.put('f') && g.flush())
            ;
    }
    // Write-protects the disk (as a card's lock switch does); false when it cannot.
    bool setReadOnly(bool on) const
    {
        return ::mount("tmpfs", m_path.c_str(), "tmpfs", MS_REMOUNT | (on ? MS_RDONLY : 0), nullptr) == 0;
    }
    // Frees the space taken by fill().
    void unfill() const
    {
        std::filesystem::remove(file(".filler"));
        std::filesystem::remove(file(".filler2"));
    }

private:
    std::string m_size;
    std::string m_path;
    bool m_mounted = false;
};

} // namespace testsupport
