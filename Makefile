# Thin wrapper over CMake. On a fresh Debian machine `make run` and
# `make test` install what they need first (scripts/setup).
#
# Two build trees: build/ holds the 32-bit zelk.dll (for 32-bit shells),
# build64/ the 64-bit one. Both are always built and their binaries checked;
# their programs run only where Wine can run them: 64-bit everywhere, 32-bit
# only where this machine executes 32-bit programs natively.
BUILD := build
BUILD64 := build64
FLAGS := -DCMAKE_BUILD_TYPE=MinSizeRel
XVFB := xvfb-run -a -s "-screen 0 1280x1024x24"
# Repetitions of each timed step in `make bench` (about a second each).
BENCH_REPS := 40
# Succeeds where 32-bit programs run natively; found out once per checkout.
RUNS32 := scripts/runs-32bit $(BUILD)/runs-32bit
# The tree `make run` and `make bench` use, and the one whose test programs
# are also built and run with undefined behaviour trapped: 32-bit where it
# runs, else 64-bit.
MAIN_TREE = $$($(RUNS32) && echo $(BUILD) || echo $(BUILD64))
NO32 := "make: this machine cannot run 32-bit programs: the 32-bit zelk.dll is built and checked but not run"

.PHONY: all setup configure build prefix test run bench reports screenshots dist help clean

all: build

help:
	@echo "make run    set up, build, and run zelk.dll in the development host"
	@echo "make test   set up, build both architectures, and run every test each one can run here"
	@echo "make build  build zelk.dll (build/ 32-bit, build64/ 64-bit), devhost.exe and the tests"
	@echo "make bench  time zelk.dll against a bare Win32 lower bound; writes docs/performance.md"
	@echo "make reports      refresh docs/reliability.md and docs/performance.md (make test writes only under build/)"
	@echo "make screenshots  refresh docs/screenshot.png and docs/screenshot-144dpi.png"
	@echo "make dist   build the release zips zelk-1.0-win32.zip and zelk-1.0-win64.zip"
	@echo "make clean  remove the build folders"

setup:
	@scripts/setup

$(BUILD)/CMakeCache.txt: | setup
	cmake -S . -B $(BUILD) $(FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
		-DZELK_UBSAN_TESTS=$$($(RUNS32) && echo ON || echo OFF) >/dev/null

$(BUILD64)/CMakeCache.txt: | setup
	cmake -S . -B $(BUILD64) $(FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
		-DZELK_UBSAN_TESTS=$$($(RUNS32) && echo OFF || echo ON) >/dev/null

configure: setup $(BUILD)/CMakeCache.txt $(BUILD64)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j2
	cmake --build $(BUILD64) -j2

prefix: setup
	@if $(RUNS32); then ZELK_BUILD=$(CURDIR)/$(BUILD) scripts/wine-prefix; fi
	@ZELK_BUILD=$(CURDIR)/$(BUILD64) scripts/wine-prefix

test: build prefix
	@if $(RUNS32); then \
		echo "make: 32-bit tests ($(BUILD)/)"; \
		cd $(BUILD) && $(XVFB) ctest --output-on-failure || exit 1; \
	else \
		echo $(NO32); \
		cd $(BUILD) && ctest --output-on-failure -L static || exit 1; \
	fi
	@echo "make: 64-bit tests ($(BUILD64)/)"
	@cd $(BUILD64) && $(XVFB) ctest --output-on-failure

# Figures are only worth keeping from an otherwise idle machine: the load
# average before the run goes into the report. A run whose output checks
# failed still writes its report, saying FAILED, and then fails.
bench: build prefix
	@tree=$(MAIN_TREE); \
	cut -d' ' -f1-3 /proc/loadavg > $$tree/bench/load-before || exit 1; \
	(cd $$tree/bench && rm -f figures.md && $(XVFB) ../wine-run \
		zelk_bench.exe --reps $(BENCH_REPS) --markdown figures.md --raw timings.csv); \
	ran=$$?; \
	bench/write-report $$tree/bench/figures.md docs/performance.md "$$(cat $$tree/bench/load-before)" \
		"make bench$(if $(filter command line,$(origin BENCH_REPS)), BENCH_REPS=$(BENCH_REPS))" \
		"$$(cat $$tree/wine-arch)" && [ $$ran -eq 0 ]

# A run needs only the DLL and the development host of the tree it runs:
# neither the other tree nor the tests and the benchmark are built for it.
run screenshots: setup
	@tree=$(MAIN_TREE); $(RUNS32) || echo $(NO32); \
	$(MAKE) --no-print-directory $$tree/CMakeCache.txt && \
	cmake --build $$tree -j2 --target zelk devhost && \
	ZELK_BUILD=$(CURDIR)/$$tree scripts/wine-prefix && \
	if [ $@ = run ]; then \
		ZELK_BUILD=$(CURDIR)/$$tree scripts/run; \
	else \
		ZELK_BUILD=$(CURDIR)/$$tree scripts/run --screenshot docs/screenshot.png && \
		ZELK_BUILD=$(CURDIR)/$$tree ZELK_PICTURES=$(CURDIR)/docs $(XVFB) bash tests/e2e.sh dpi; \
	fi

# The committed reports: the reliability test's, from the tree `make run`
# uses (a test run writes it to that tree's reliability.md), and the
# benchmark's.
reports: build prefix
	@tree=$(MAIN_TREE); \
	(cd $$tree && rm -f reliability.md && $(XVFB) ctest --output-on-failure -R '^reliability$$') && \
	cp $$tree/reliability.md docs/reliability.md && echo "make: wrote docs/reliability.md"
	@$(MAKE) --no-print-directory bench

dist: build
	cd $(BUILD) && cpack -G ZIP
	cd $(BUILD64) && cpack -G ZIP
	@echo "release zips: $(BUILD)/zelk-1.0-win32.zip (32-bit shells), $(BUILD64)/zelk-1.0-win64.zip (64-bit shells)"

clean:
	rm -rf $(BUILD) $(BUILD64)
