#pragma once

// What every benchmark program of the panel reports with: one row per measurement, printed as a
// table after the benchmarks have run, and the process's own CPU time and memory.
#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

namespace glowdeck::bench {

inline std::map<std::string, std::string>& summary() {
    static std::map<std::string, std::string> rows;
    return rows;
}

inline std::string format(const char* pattern, double value) {
    char text[96];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

inline double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

inline long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
    }
    return 0;
}

} // namespace glowdeck::bench
