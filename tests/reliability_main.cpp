// Main of the reliability tests. Besides the tests, the program has a second
// mode, used by the test that kills a process while it writes:
//   reliability_tests.exe --write-loop
// which rewrites the settings file beside it forever, alternating two lists.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "CorvaneHost.h"
#include "FaultReport.h"
#include "Reliability.h"
#include "TestSupport.h"
#include "core/HostBinding.h"
#include "core/PluginInstance.h"
#include "data/ItemList.h"

// The exit code of a run in which a case was skipped: tests/CMakeLists.txt
// names it as the tests' SKIP_RETURN_CODE.
const int SkippedExitCode = 77;

namespace reliability {

Report& TheReport() {
    static Report report;
    return report;
}

std::vector<std::pair<std::string, int>> WriterList(int which) {
    std::vector<std::pair<std::string, int>> list;
    int n = which == 0 ? 10 : 20;
    for (int i = 0; i < n; ++i)
        list.emplace_back((which == 0 ? "old entry " : "new entry ") + std::to_string(i), i % 2);
    return list;
}

namespace {

int WriteLoop() {
    test::BindHost();
    ItemCount = 0;
    ThePlugin = PluginInstance::Create(GetModuleHandleA(nullptr));
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, "zelk-write-loop-ready");
    for (unsigned round = 0;; ++round) {
        ClearItems();
        for (const auto& e : WriterList(round % 2))
            AppendItem(e.first.c_str(), e.second);
        ItemCount = CountListedItems();
        ThePlugin->WriteSettings();
        if (round == 1 && ready) SetEvent(ready);
    }
}

void WriteReport(const char* path) {
    const Report& r = TheReport();
    FILE* f = fopen(path, "w");
    if (!f) return;
    fprintf(f, "# Reliability\n\n");
    fprintf(f, "Produced by the reliability test program (`make reports`, test `reliability`); "
               "every figure below comes from its last run.\n\n");
    fprintf(f, "| what was tried | count |\n|---|---|\n");
    fprintf(f, "| hostile and hand-edited settings files loaded, saved and reloaded | %d |\n",
            r.settingsFilesTried);
    fprintf(f, "| hostile style files painted | %d |\n", r.styleFilesTried);
    fprintf(f, "| hostile broadcast texts | %d |\n", r.commandsTried);
    std::string faults; // the kinds tried, each once, in the order they ran
    for (const std::string& fault : r.faultsSurvived)
        if (faults.find(fault) == std::string::npos) faults += (faults.empty() ? "" : ", ") + fault;
    fprintf(
        f, "| disk faults survived with nothing lost and the failure told by one box (%s) | %d |\n",
        faults.c_str(), static_cast<int>(r.faultsSurvived.size()));
    fprintf(f, "| processes killed while writing, file complete afterwards | %d |\n",
            r.killsDuringWrites);
    fprintf(f,
            "| of those, leaving a stray temporary file (removed by the next session's first save) "
            "| %d |\n",
            r.killsLeavingTemporaryFile);
    fprintf(f, "| add/delete cycles in one process | %d |\n", r.addDeleteCycles);
    fprintf(f, "| tick/untick repaints in one process | %d |\n", r.tickRepaints);
    fprintf(f,
            "| random adds, deletes, ticks, renames, moves, commands and reloads, each checked "
            "against the list the test expects from its own input | %d |\n",
            r.randomOperations);
    fprintf(f, "| unloads and reloads in the random runs | %d |\n", r.randomReloads);
    fprintf(f, "| writes by another program merged with a click | %d |\n", r.outsideWrites);
    fprintf(f, "\nA window construction that fails inside a rebuild, one box per run of failed "
               "saves (with a broadcast and the end of the plug-in arriving while it is open), "
               "and one write per user action are tried by the window tests "
               "(`plugin_tests`); a host killed with `kill -9` right after a tick, an edit and "
               "a move by the end-to-end test (`e2e`).\n");
    fprintf(f, "\nRandom seeds: ");
    for (size_t i = 0; i < r.seeds.size(); ++i)
        fprintf(f, "%s%s", i ? ", " : "", r.seeds[i].c_str());
    fprintf(f, " (replay one with `ZELK_SEED=N`).\n\n## Growth over the endurance run\n\n");
    for (const std::string& g : r.growth)
        fprintf(f, "- %s\n", g.c_str());
    fprintf(f, "\n## Not run here\n\n");
    if (r.skipped.empty()) fprintf(f, "Nothing: every case ran.\n");
    for (const std::string& s : r.skipped)
        fprintf(f, "- %s\n", s.c_str());
    fclose(f);
}

} // namespace
} // namespace reliability

int main(int argc, char** argv) {
    InstallFaultReport();
    if (argc > 1 && strcmp(argv[1], "--write-loop") == 0) return reliability::WriteLoop();
    testing::InitGoogleTest(&argc, argv);
    HostStart(GetModuleHandleA(nullptr));
    int result = RUN_ALL_TESTS();
    HostStop();
    if (const char* report = getenv("ZELK_RELIABILITY_REPORT"))
        if (result == 0 && *report) reliability::WriteReport(report);
    for (const std::string& s : reliability::TheReport().skipped)
        printf("SKIPPED: %s\n", s.c_str());
    // A case that could not run here must not read as passed (CTest's SKIP_RETURN_CODE).
    if (result == 0 && testing::UnitTest::GetInstance()->skipped_test_count() > 0)
        return SkippedExitCode;
    return result;
}
