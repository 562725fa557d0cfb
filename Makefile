# Thin wrapper over CMake. On a fresh Debian machine `make run` and
# `make test` install what they need first (scripts/setup).
BUILD := build
CMAKE_FLAGS := -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel
XVFB := xvfb-run -a -s "-screen 0 1280x1024x24"

.PHONY: all setup configure build prefix test run help clean

all: build

help:
	@echo "make run    set up, build, and run zelk.dll in the development host"
	@echo "make test   set up, build, and run every test under Wine in Xvfb"
	@echo "make build  build zelk.dll, devhost.exe and the test programs"
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

run: build prefix
	@ZELK_BUILD=$(CURDIR)/$(BUILD) scripts/run

clean:
	rm -rf $(BUILD)
