# Thin wrapper around CMake; see README.md.
BUILD     ?= build
TYPE      ?= RelWithDebInfo
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)
# Looked up when a build is configured, after deps has installed what was missing; CMake
# finds ccache itself.
GENERATOR  = $(if $(shell command -v ninja 2>/dev/null),-G Ninja,)
CTEST_ENV := QT_QPA_PLATFORM=offscreen

.PHONY: all deps configure build test test-sanitize fuzz run screenshot clean format

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=$(TYPE)

configure: $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: deps build
	cd $(BUILD) && $(CTEST_ENV) ctest --output-on-failure -j $(JOBS)

# The whole suite under AddressSanitizer (leaks included) and UndefinedBehaviorSanitizer.
SANITIZE_BUILD ?= build-sanitize
SANITIZE_ENV   := $(CTEST_ENV) ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
                  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
                  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Tests labelled realtime-stress (several pods at the hardware's pace on a host loaded on
# purpose) are left out: under the sanitizers they measure the sanitizers, not the code.
.PHONY: build-sanitize
build-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=$(TYPE) \
	  -DVANTIX_SANITIZE=ON -DVANTIX_BENCH=OFF
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)

test-sanitize: build-sanitize
	cd $(SANITIZE_BUILD) && $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS) \
	  --label-exclude realtime-stress

# libFuzzer with clang: builds the fuzzers and runs each for FUZZ_SECONDS.
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60

fuzz:
	@scripts/install-deps.sh clang libclang-rt-14-dev
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTIX_FUZZ=ON -DVANTIX_GUI=OFF -DVANTIX_TESTS=OFF \
	  -DVANTIX_BENCH=OFF -DVANTIX_LIBFTDI=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	fuzz/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Plants small host faults in pod/ and image/ one at a time, rebuilds the tests on a copy of
# the tree in build-mutants/ and runs them: every fault must be caught. Slow; not part of test.
.PHONY: mutants
mutants: deps
	python3 scripts/mutants.py --build $(CURDIR)/build-mutants --jobs $(JOBS)

# Benchmarks (bench/), built in Release: runs them all and rewrites BENCHMARKS.md.
BENCH_BUILD ?= build-bench

.PHONY: bench
bench: deps
	cmake -S . -B $(BENCH_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DVANTIX_BENCH=ON
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target vantix_benchmarks
	python3 bench/run-benchmarks.py --build $(BENCH_BUILD) --out BENCHMARKS.md

# Section 13 alone (one command on several pods), merged into BENCHMARKS.md in place of its
# earlier figures.
.PHONY: bench-gang
bench-gang: deps
	cmake -S . -B $(BENCH_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DVANTIX_BENCH=ON
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target vantix_benchmarks
	python3 bench/run-benchmarks.py --build $(BENCH_BUILD) --only gang --merge --out BENCHMARKS.md

# The window over the simulated pod, which takes the time a real one would: no hardware needed.
run: deps build
	$(BUILD)/app/vantix --simulate

# docs/screenshot.png: the window after "Target Write && Verify" on the simulated pod, rendered
# off-screen at instant pace.
screenshot: deps configure
	cmake --build $(BUILD) -j $(JOBS) --target vantix-screenshot
	QT_QPA_PLATFORM=offscreen $(BUILD)/app/vantix-screenshot examples/dsp56f807.s docs/screenshot.png

clean:
	rm -rf $(BUILD) build-*

format:
	git ls-files '*.cpp' '*.h' | xargs -r clang-format -i

# Installation and packaging (packaging/CMakeLists.txt): PREFIX and DESTDIR as usual.
.PHONY: install package windows-cli

install: deps build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX),)

# The Debian package vantix_<version>_<arch>.deb, written into $(BUILD).
package: deps build
	@scripts/install-deps.sh dpkg-dev file
	cmake --build $(BUILD) --target package

# Builds the package and checks it: lintian finds no error, it holds the programs, manual
# pages, completions, udev rule, desktop entry, icon, metainfo and copyright, and the
# programs run from a copy unpacked with dpkg-deb.
.PHONY: test-package
test-package: package
	@scripts/install-deps.sh lintian devscripts
	scripts/test-package.sh $(BUILD)

# vantix-cli.exe for 64-bit Windows with Debian's mingw-w64; it loads Ftd2xx.dll at run time.
WINDOWS_BUILD ?= build-windows
WINDOWS_CONFIGURE = cmake -S . -B $(WINDOWS_BUILD) $(GENERATOR) \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
  -DVANTIX_GUI=OFF -DVANTIX_LIBFTDI=OFF -DVANTIX_TESTS=OFF -DVANTIX_BENCH=OFF

windows-cli: deps
	@scripts/install-deps.sh mingw-w64 libz-mingw-w64-dev
	$(WINDOWS_CONFIGURE)
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target vantix-cli
	@echo "Built $(WINDOWS_BUILD)/cli/vantix-cli.exe"

# Runs vantix-cli.exe under Wine against the Linux build: help, info, the simulated pod, the
# wire trace byte for byte, exit statuses, a stand-in Ftd2xx.dll, unusual paths and CRLF files.
.PHONY: test-windows
test-windows: deps configure
	@scripts/install-deps.sh mingw-w64 libz-mingw-w64-dev wine64
	cmake --build $(BUILD) -j $(JOBS) --target vantix-cli
	$(WINDOWS_CONFIGURE)
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target vantix-cli vantix_test_ftd2xx
	scripts/test-windows.sh $(BUILD) $(WINDOWS_BUILD)
