# Entry points for people and CI. Each target installs what is missing first.
#   make test       build and run every test (CTest)
#   make sanitize   the same under AddressSanitizer + UBSan (second build folder)
#   make fuzz-ci    build the fuzz targets and run each briefly
#   make fuzz       run each fuzz target longer (FUZZ_SECONDS, default 600;
#                   FUZZ_JOBS, FUZZ_ONLY, FUZZ_CPU, FUZZ_REPORT: see scripts/run-fuzzers.sh)
#   make demo       the launcher's whole road against a local demo gateway
#   make bench      Release build, every benchmark beside its baseline, writes
#                   docs/benchmarks.md (BENCH_QUICK=1 for small inputs)
#   make coverage   coverage build, tests, line/branch figures per deliverable
#                   in docs/coverage.md
#   make soak       the update road against a failing gateway (SOAK_ROUNDS)
JOBS ?= $(shell nproc)
# A test that fails is run once more before the run counts as failed: the
# end-to-end tests start real servers, windows and processes on a shared
# 2-core machine. Both outcomes stay in the log; CTEST_RETRY=1 turns it off.
CTEST_RETRY ?= 2
CTEST_ARGS = --output-on-failure -j $(JOBS) --repeat until-pass:$(CTEST_RETRY)
BUILD ?= build
SAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 600
FUZZ_CI_SECONDS ?= 20
CMAKE_FLAGS ?=
BENCH_BUILD ?= build-bench
COV_BUILD ?= build-coverage
SOAK_ROUNDS ?= 200

.PHONY: deps build test sanitize fuzz-build fuzz-ci fuzz demo clean deps-bench bench coverage soak

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DWARNINGS_AS_ERRORS=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

test: build
	scripts/with-display.sh ctest --test-dir $(BUILD) $(CTEST_ARGS)

sanitize: deps
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DENABLE_SANITIZERS=ON $(CMAKE_FLAGS)
	cmake --build $(SAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  scripts/with-display.sh ctest --test-dir $(SAN_BUILD) $(CTEST_ARGS) -LE no-sanitize

# Always rebuilt (incrementally), so a long run never fuzzes stale code.
fuzz-build: deps
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DENABLE_FUZZING=ON $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers

fuzz-ci: fuzz-build
	scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_CI_SECONDS)

fuzz: fuzz-build
	scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

deps-bench:
	@scripts/install-deps.sh --bench

# Only the benchmark drivers are built; each script builds what it needs.
bench: deps-bench
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	bench/run-all.sh $(BENCH_BUILD) docs/benchmarks.md

coverage: deps-bench
	scripts/coverage.sh $(COV_BUILD) docs/coverage.md

soak: deps-bench
	SOAK_REPORT=docs/soak.md scripts/soak-update.sh $(SOAK_ROUNDS)

demo: deps
	BUILD=$(BUILD) tools/demo/run_demo.sh

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) $(COV_BUILD)
