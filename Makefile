# Front door: `make` builds kerf (Release) and nothing else, `make run`
# decodes every bundled sample in one bulk run, `make test` builds the rest
# (tests, tools) and runs every test, `make test-sanitize` does the same
# under ASan and UBSan, `make test-tsan` under ThreadSanitizer. `make install`
# installs kerf, its man page, its documents and its shell completion below
# PREFIX (inside DESTDIR when given); `make package` builds the Debian
# package in $(BUILD).

GENERATOR := $(if $(shell command -v ninja 2>/dev/null),-G Ninja,)
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)
BUILD     ?= build
SANBUILD  ?= build-sanitize
TSANBUILD ?= build-tsan
FUZZBUILD ?= build-fuzz
BENCHBUILD ?= build-bench
FUZZ_SECONDS ?= 60
PREFIX    ?= /usr/local
KERF_CORPUS ?= $(CURDIR)/../shared/corpus
export KERF_CORPUS

.PHONY: all kerf build test test-sanitize test-tsan run install package fuzz bench warnings clean

all: kerf

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release

# Only what running kerf needs.
kerf: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target kerf

# Everything: kerf, the tests and the tools.
build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	@tests/skip-reasons $(BUILD)

$(SANBUILD)/CMakeCache.txt:
	cmake -S . -B $(SANBUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKERF_SANITIZE=ON

test-sanitize: $(SANBUILD)/CMakeCache.txt
	cmake --build $(SANBUILD) -j $(JOBS)
	ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	ctest --test-dir $(SANBUILD) --output-on-failure -j $(JOBS)
	@tests/skip-reasons $(SANBUILD)

$(TSANBUILD)/CMakeCache.txt:
	cmake -S . -B $(TSANBUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKERF_TSAN=ON

# Every test under ThreadSanitizer: the bulk runs decode on several threads.
test-tsan: $(TSANBUILD)/CMakeCache.txt
	cmake --build $(TSANBUILD) -j $(JOBS)
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	ctest --test-dir $(TSANBUILD) --output-on-failure -j $(JOBS)
	@tests/skip-reasons $(TSANBUILD)

# "./samples", not "samples": a directory named without any "/" is read as a
# Windows path with "\" separators.
run: kerf
	./$(BUILD)/kerf -enumdir ./samples

install: kerf
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# cpack straight away: the package target of the build would build the
# tests and tools first.
package: kerf
	cd $(BUILD) && cpack -G DEB

$(FUZZBUILD)/CMakeCache.txt:
	CXX=clang++ cmake -S . -B $(FUZZBUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKERF_FUZZ=ON

# Runs every fuzz target for FUZZ_SECONDS seconds, starting from the inputs
# kept in fuzz/seeds and fuzz/regressions.
fuzz: $(FUZZBUILD)/CMakeCache.txt
	cmake --build $(FUZZBUILD) -j $(JOBS)
	./fuzz/run.sh $(FUZZBUILD) $(FUZZ_SECONDS)

$(BENCHBUILD)/CMakeCache.txt:
	cmake -S . -B $(BENCHBUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DKERF_BENCH=ON -DKERF_TESTS=OFF

bench: $(BENCHBUILD)/CMakeCache.txt
	cmake --build $(BENCHBUILD) -j $(JOBS)

# Both supported compilers must build everything without a warning.
warnings:
	cmake -S . -B build-gcc-werror $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ -DCMAKE_CXX_FLAGS=-Werror -DKERF_BENCH=ON
	cmake --build build-gcc-werror -j $(JOBS)
	cmake -S . -B build-clang-werror $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS=-Werror -DKERF_BENCH=ON
	cmake --build build-clang-werror -j $(JOBS)

clean:
	rm -rf $(BUILD) $(SANBUILD) $(TSANBUILD) $(FUZZBUILD) $(BENCHBUILD) build-gcc-werror build-clang-werror
