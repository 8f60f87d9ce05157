# Thin wrapper over the CMake build; see README.md.
#   make run            build and start the game
#   make test           install what is missing, build, run every test
#   make test SANITIZE=1  the same with AddressSanitizer + UBSan (build-sanitize/)
#   make bench          build and run the benchmarks
#   make fuzz           build the fuzz harnesses (clang, build-fuzz/) and run
#                       each for FUZZ_SECONDS (default 60)
#   make build          just build
#   make install        install under PREFIX (default /usr/local), DESTDIR honoured
#   make package        a Debian package (build/vrx_*.deb)

SANITIZE ?= 0
ifeq ($(SANITIZE),1)
BUILD_DIR := build-sanitize
CMAKE_FLAGS := -DVRX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
else
BUILD_DIR := build
CMAKE_FLAGS :=
endif
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
# Seconds each fuzz harness runs in `make test`: long enough to replay its
# corpus and try a few thousand new inputs.
FUZZ_SMOKE_SECONDS ?= 4

PREFIX ?= /usr/local

.PHONY: all deps configure build run test bench install package clean fuzz-build fuzz

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@scripts/run $(BUILD_DIR)

ifeq ($(SANITIZE),1)
# The suite under the sanitizers. Left to the plain `make test`: the fuzz
# smoke (the fuzz build runs under the same sanitizers, and the suite here
# replays every seed and kept input through them), the end-to-end tests
# (their waits are made for the plain build's speed; the real program runs
# here in the demo and bad-file tests), the install and package tests, and
# for now the long-play test (`ctest -L long` in build-sanitize runs it). A failed test runs once more: LeakSanitizer's own tracer
# now and then dies while the GL driver's threads end ("Tracer caught
# signal 11"); a real leak or error fails twice.
test: build
	@scripts/test $(BUILD_DIR) -LE 'e2e|install|long' --repeat until-pass:2
else
test: build fuzz-build
	@scripts/fuzz build-fuzz $(FUZZ_SMOKE_SECONDS)
	@scripts/test $(BUILD_DIR)
endif

bench: build
	@scripts/bench $(BUILD_DIR)

# The fuzz build is clang's, in a folder of its own; only the harnesses and
# what they link are built.
fuzz-build: deps
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -DVRX_FUZZ=ON >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target fuzz-harnesses

fuzz: fuzz-build
	@scripts/fuzz build-fuzz $(FUZZ_SECONDS)

install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

package: build
	@cd $(BUILD_DIR) && cpack -G DEB

clean:
	rm -rf build build-sanitize build-fuzz
