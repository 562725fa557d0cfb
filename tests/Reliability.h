// Counters the reliability tests keep for their report.
#pragma once

#include <string>
#include <vector>

namespace reliability {

struct Report {
    int settingsFilesTried = 0;
    int styleFilesTried = 0;
    int commandsTried = 0;
    int killsDuringWrites = 0;
    int killsLeavingTemporaryFile = 0;
    int addDeleteCycles = 0;
    int tickRepaints = 0;
    int randomOperations = 0;
    int randomReloads = 0;
    int outsideWrites = 0; // by another program, merged with the next click
    std::vector<std::string> seeds;
    std::vector<std::string> faultsSurvived; // one name per fault, as often as it was tried
    std::vector<std::string> skipped;
    std::vector<std::string> growth; // handle and heap figures of the endurance run
};

Report& TheReport();

} // namespace reliability
