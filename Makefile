# The two commands that matter: `make demo` and `make test`. Each installs what is missing first.
JOBS ?= 2
FUZZ_SECONDS ?= 60
DEMO_ROOT ?= $(CURDIR)/build/demo-root

.PHONY: all bootstrap build demo test test-asan bench fuzz clean

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
	@ctest --test-dir build --output-on-failure -j $(JOBS)

test-asan: bootstrap
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --test-dir build-asan --output-on-failure -j $(JOBS)

bench: build
	@scripts/run-benchmarks build/bench

fuzz: bootstrap
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)
	@scripts/run-fuzzers build-fuzz/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf build build-debug build-asan build-fuzz
