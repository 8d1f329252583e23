# The two commands that matter: `make demo` and `make test`. Each installs what is missing first.
JOBS ?= 2
FUZZ_SECONDS ?= 60
FUZZ_SMOKE_SECONDS ?= 20
DEMO_ROOT ?= $(CURDIR)/build/demo-root

.PHONY: all bootstrap build demo test test-asan test-tsan bench fuzz fuzz-build fuzz-smoke fuzz-merge clean

all: build

bootstrap:
	@scripts/bootstrap

build: bootstrap
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)

demo: build
	@rm -rf "$(DEMO_ROOT)"
	@SCANSUITE_ROOT="$(DEMO_ROOT)" scripts/demo

test: build
	@ctest --test-dir build --output-on-failure --timeout 600 -j $(JOBS)

test-asan: bootstrap
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --test-dir build-asan --output-on-failure --timeout 900 -j $(JOBS)

# The threaded tests (labelled "threaded") under ThreadSanitizer.
test-tsan: bootstrap
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan -j $(JOBS) --target threaded_tests
	@TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --test-dir build-tsan -L threaded --output-on-failure --timeout 900 -j $(JOBS)

bench: build
	@scripts/run-benchmarks build/bench

fuzz-build: bootstrap
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)

fuzz: fuzz-build
	@scripts/run-fuzzers build-fuzz/fuzz $(FUZZ_SECONDS)

# Every target for a short while on its corpus; any finding fails.
fuzz-smoke: fuzz-build
	@scripts/run-fuzzers build-fuzz/fuzz $(FUZZ_SMOKE_SECONDS)

# Shrinks each seed corpus to the inputs that reach something the others do not.
fuzz-merge: fuzz-build
	@scripts/merge-fuzz-corpora build-fuzz/fuzz

clean:
	rm -rf build build-debug build-asan build-tsan build-fuzz
