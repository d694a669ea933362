// Runs a shell command for a test and gives back its exit status and output.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace testsupport {

struct Result {
    int exitCode = -1;
    std::string output; // standard output and standard error together
};

inline Result Shell(const std::string &command)
{
    Result r;
    std::FILE *p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return r;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), p)) > 0)
        r.output.append(buffer.data(), n);
    const int status = ::pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// Single-quotes a word for the shell.
inline std::string Quote(const std::string &s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

} // namespace testsupport
