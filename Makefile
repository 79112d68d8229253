# Two commands do everything on a fresh Debian machine: `make run` and `make test`.
JOBS ?= $(shell nproc)
BUILD ?= build

.PHONY: setup build run test test-core test-asan fuzz fuzz-build bench clean
SECONDS ?= 60

setup:
	@sh scripts/setup.sh

build: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/vorlix

test: build test-asan fuzz-build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cd build-asan && ctest --output-on-failure -j $(JOBS)
	bash fuzz/run.sh build-fuzz 3 $(JOBS) build-fuzz/smoke

# The core tests once more, with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: setup
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVORLIX_GUI=OFF -DVORLIX_SANITIZE=ON >/dev/null
	@cmake --build build-asan -j $(JOBS)

# Every fuzz target for SECONDS seconds (libFuzzer, clang, AddressSanitizer and UndefinedBehaviorSanitizer).
fuzz: fuzz-build
	bash fuzz/run.sh build-fuzz $(SECONDS) 3

fuzz-build: setup
	@cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DVORLIX_GUI=OFF -DVORLIX_TESTS=OFF -DVORLIX_FUZZ=ON >/dev/null
	@cmake --build build-fuzz -j $(JOBS)

# The benchmarks, then the program's frame time with every window open under Xvfb, timed
# in the build `make run` runs (RelWithDebInfo).
bench: setup
	@cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLIX_GUI=ON -DVORLIX_TESTS=OFF -DVORLIX_BENCH=ON >/dev/null
	@cmake --build build-bench -j $(JOBS)
	./build-bench/bench/vorlix_bench
	xvfb-run -a -s "-screen 0 1600x1000x24" ./build-bench/bench/vorlix_frame_bench

clean:
	rm -rf build build-asan build-bench build-fuzz
