#pragma once

#include <string>

namespace glowdeck::test {

// The page's server on loopback under a crowd: pages opening and closing, steady pages beside the
// operator's, a guest that floods, half-open connections from one address, wrong keys from many,
// a client that never reads. Stops by itself after `pages` pages or `seconds`, whichever first.
struct SoakResult {
    int pagesOpened = 0;
    int pagesTurnedAway = 0; // told the server was full: the crowd fills it on purpose
    int operatorRequests = 0;
    long long slowestOperatorMs = 0;
    long long rssGrowthKb = 0;
    std::string failure; // empty when everything held
};
SoakResult soakThePage(int pages, int seconds);
// Prints the run's figures on one line.
void printSoak(const SoakResult& result);

} // namespace glowdeck::test
