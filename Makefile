# Entry points for people and CI. Each target installs what is missing first.
#   make test       build and run every test (CTest)
#   make sanitize   the same under AddressSanitizer + UBSan (second build
#                   folder, configured with Ninja so every generated file
#                   stays a declared output)
#   make tsan       the threaded parts under ThreadSanitizer (third folder,
#                   only the targets of the tests labelled "threads")
#   make install-check  cmake --install to a prefix, moved, programs run
#   make format-check   C/C++ files against .clang-format
#   make tidy       clang-tidy on the .cpp files changed since main
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
# Every test runs once: a test that fails only now and then fails the run,
# in CI too. CTEST_RETRY=2 reruns a failing test once, for a local run on a
# machine busy with other work; never set it in CI.
CTEST_RETRY ?= 1
CTEST_ARGS = --output-on-failure -j $(JOBS) $(if $(filter-out 1,$(CTEST_RETRY)),--repeat until-pass:$(CTEST_RETRY))
BUILD ?= build
SAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
INSTALL_CHECK_DIR ?= build-install-check
# The sanitizer builds are generated with Ninja, which refuses a generated
# file that is not a declared output. A folder configured earlier with
# another generator loses its cache first (cmake cannot switch in place).
ninja_folder = $(if $(shell grep -qs '^CMAKE_GENERATOR:INTERNAL=Ninja$$' $(1)/CMakeCache.txt || \
  test ! -e $(1)/CMakeCache.txt || echo reset),rm -rf $(1)/CMakeCache.txt $(1)/CMakeFiles;) \
  cmake -S . -B $(1) -G Ninja
# The programs whose tests carry the label "threads": the update worker and
# the window it posts to, the toolkit's cross-thread posting, the media
# library's log channel, the recorder's writer threads and the tool's
# hand-off between its feeding threads.
TSAN_TARGETS = launcher_worker_test launcher_window_test uikit_window_test vidscribe_log_test \
  vidscribe_recorder_test vidscribe_real_recording_test vidscribe_mp4_tool_test
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 600
FUZZ_CI_SECONDS ?= 20
CMAKE_FLAGS ?=
BENCH_BUILD ?= build-bench
COV_BUILD ?= build-coverage
SOAK_ROUNDS ?= 200

.PHONY: deps build test sanitize tsan install-check format-check tidy fuzz-build fuzz-ci fuzz demo clean \
  deps-bench bench coverage soak

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DWARNINGS_AS_ERRORS=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

test: build
	scripts/with-display.sh ctest --test-dir $(BUILD) $(CTEST_ARGS)

sanitize: deps
	$(call ninja_folder,$(SAN_BUILD)) -DCMAKE_BUILD_TYPE=Debug -DENABLE_SANITIZERS=ON $(CMAKE_FLAGS)
	cmake --build $(SAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  scripts/with-display.sh ctest --test-dir $(SAN_BUILD) $(CTEST_ARGS) -LE no-sanitize

# halt_on_error: the first race fails its test, with both stacks.
tsan: deps
	$(call ninja_folder,$(TSAN_BUILD)) -DENABLE_TSAN=ON $(CMAKE_FLAGS)
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TARGETS)
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	  scripts/with-display.sh ctest --test-dir $(TSAN_BUILD) $(CTEST_ARGS) -L threads

# Installs the main build into a prefix, moves the prefix, and runs what was
# installed from its new place.
install-check: build
	scripts/check-install.sh $(BUILD) $(INSTALL_CHECK_DIR)

format-check:
	scripts/check-format.sh

tidy:
	scripts/run-clang-tidy.sh -p $(BUILD) --changed

# Always rebuilt (incrementally), so a long run never fuzzes stale code.
fuzz-build: deps
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DENABLE_FUZZING=ON $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers

# One target per core: each still gets its whole time.
fuzz-ci: fuzz-build
	FUZZ_JOBS=$${FUZZ_JOBS:-$(JOBS)} scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_CI_SECONDS)

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
	rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) $(COV_BUILD) $(INSTALL_CHECK_DIR)
