# Thin wrapper over CMake. On a fresh Debian machine `make run` and
# `make test` install what they need first (scripts/setup).
BUILD := build
CMAKE_FLAGS := -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel
XVFB := xvfb-run -a -s "-screen 0 1280x1024x24"
# Repetitions of each timed step in `make bench` (about a second each).
BENCH_REPS := 40

.PHONY: all setup configure build prefix test run bench dist help clean

all: build

help:
	@echo "make run    set up, build, and run zelk.dll in the development host"
	@echo "make test   set up, build, and run every test under Wine in Xvfb"
	@echo "make build  build zelk.dll, devhost.exe and the test programs"
	@echo "make bench  time zelk.dll against a bare Win32 lower bound; writes docs/performance.md"
	@echo "make dist   build the release zip build/zelk-1.0-win32.zip (zelk.dll and readme.txt)"
	@echo "make clean  remove the build folder"

setup:
	@scripts/setup

$(BUILD)/CMakeCache.txt: | setup
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

configure: setup $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j2

prefix: setup
	@ZELK_BUILD=$(CURDIR)/$(BUILD) scripts/wine-prefix

test: build prefix
	cd $(BUILD) && ZELK_BUILD=$(CURDIR)/$(BUILD) $(XVFB) ctest --output-on-failure

# Figures are only worth keeping from an otherwise idle machine: the load
# average before the run goes into the report.
bench: build prefix
	@cut -d' ' -f1-3 /proc/loadavg > $(BUILD)/bench/load-before
	cd $(BUILD)/bench && rm -f figures.md && ZELK_BUILD=$(CURDIR)/$(BUILD) $(XVFB) $(CURDIR)/scripts/wine-run \
		zelk_bench.exe --reps $(BENCH_REPS) --markdown figures.md --raw timings.csv
	@bench/write-report $(BUILD)/bench/figures.md docs/performance.md "$$(cat $(BUILD)/bench/load-before)" \
		"make bench$(if $(filter command line,$(origin BENCH_REPS)), BENCH_REPS=$(BENCH_REPS))"

run: build prefix
	@ZELK_BUILD=$(CURDIR)/$(BUILD) scripts/run

dist: build
	cd $(BUILD) && cpack -G ZIP
	@echo "release zip: $(BUILD)/zelk-1.0-win32.zip"

clean:
	rm -rf $(BUILD)
