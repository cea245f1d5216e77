# Quick start: `make run` starts Tarnwick on the simulated device,
# `make test` builds and runs every test. Both install what they need.
BUILD ?= build
BUILD_WINDOWS ?= build-windows
BUILD_PACKAGE ?= build-package
PORT ?=
CMAKE_FLAGS ?=

.PHONY: all deps configure build test test-windows run bench tsan package clean

all: build

deps:
	bash scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2

# The core and the Win32 serial backend built for Windows and tested under Wine.
test-windows:
	bash scripts/test-windows.sh "$(BUILD_WINDOWS)"

run: build
	bash scripts/run.sh "$(BUILD)" "$(PORT)"

bench: deps
	bash scripts/bench.sh

# The threaded code and its tests under ThreadSanitizer, in build-tsan/.
tsan: deps
	bash scripts/tsan.sh

# dist/tarnwick_<version>_<arch>.deb and dist/tarnwick-capture_<version>_<arch>.deb,
# built in $(BUILD_PACKAGE)/ and checked (lintian, desktop entry, metainfo,
# contents, Depends, the capture's libraries).
package:
	bash scripts/install-deps.sh --package
	bash scripts/package.sh "$(BUILD_PACKAGE)"

clean:
	rm -rf $(BUILD) $(BUILD_WINDOWS) $(BUILD_PACKAGE) dist
