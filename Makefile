# Quick start: `make run` starts Tarnwick on the simulated device,
# `make test` builds and runs every test. Both install what they need.
BUILD ?= build
PORT ?=
CMAKE_FLAGS ?=

.PHONY: all deps configure build test run bench tsan clean

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

run: build
	bash scripts/run.sh "$(BUILD)" "$(PORT)"

bench: deps
	bash scripts/bench.sh

# The threaded code and its tests under ThreadSanitizer, in build-tsan/.
tsan: deps
	bash scripts/tsan.sh

clean:
	rm -rf $(BUILD)
