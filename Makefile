# Thin wrapper around CMake; see README.md.
BUILD     ?= build
TYPE      ?= RelWithDebInfo
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)
GENERATOR := $(if $(shell command -v ninja 2>/dev/null),-G Ninja,)
LAUNCHER  := $(if $(shell command -v ccache 2>/dev/null),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache,)
CTEST_ENV := QT_QPA_PLATFORM=offscreen

.PHONY: all deps configure build test run clean format

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(GENERATOR) $(LAUNCHER) -DCMAKE_BUILD_TYPE=$(TYPE)

configure: $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: deps build
	cd $(BUILD) && $(CTEST_ENV) ctest --output-on-failure -j $(JOBS)

run: deps build
	$(BUILD)/cli/vantix-cli info examples/dsp56f807.s --cpu DSP56F807

clean:
	rm -rf $(BUILD) build-*

format:
	git ls-files '*.cpp' '*.h' | xargs -r clang-format -i
