#pragma once

// What a process uses, read from the kernel: "self" or a pid.

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <cstdio>
#include <iterator>
#include <string>

// CPU time in seconds, to the clock tick (10 ms).
inline double cpuSeconds(const std::string &pid = "self")
{
    std::ifstream stat("/proc/" + pid + "/stat");
    const std::string text{std::istreambuf_iterator<char>(stat), {}};
    long user = 0, system = 0;
    std::sscanf(text.c_str() + text.rfind(')') + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %ld %ld", &user, &system);
    return double(user + system) / double(sysconf(_SC_CLK_TCK));
}

// How many descriptors are open, and how many of them lead to `device`.
inline int openDescriptors(const std::string &pid = "self", dev_t device = 0)
{
    int count = 0;
    struct stat target{};
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/" + pid + "/fd", error))
        count += device == 0 || (::stat(entry.path().c_str(), &target) == 0 && target.st_rdev == device);
    return count;
}

inline long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}
