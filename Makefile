# Thin wrapper over the CMake build; see README.md.
#   make run            build and start the game
#   make test           install what is missing, build, run every test
#   make test SANITIZE=1  the same with AddressSanitizer + UBSan (build-sanitize/)
#   make bench          build and run the benchmarks
#   make build          just build

SANITIZE ?= 0
ifeq ($(SANITIZE),1)
BUILD_DIR := build-sanitize
CMAKE_FLAGS := -DVRX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
else
BUILD_DIR := build
CMAKE_FLAGS :=
endif
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@scripts/run $(BUILD_DIR)

test: build
	@scripts/test $(BUILD_DIR)

bench: build
	@scripts/bench $(BUILD_DIR)

clean:
	rm -rf build build-sanitize
