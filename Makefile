# Thin front door over CMake. Each build flavour lives in its own folder.
JOBS ?= 2
CMAKE_GEN := -G Ninja

.PHONY: all deps build release demo test sanitize fuzz bench install consumer format clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B build $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build -j $(JOBS)

# The optimised builds are profile-guided and link-time optimised: see scripts/profiled-build.
release: deps
	@JOBS=$(JOBS) scripts/profiled-build build-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF

demo: release
	@build-release/tolu-parse-files examples/

test: build
	@cd build && ctest --output-on-failure -j $(JOBS)

sanitize: deps
	@cmake -S . -B build-sanitize $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTOLU_SANITIZE=ON >/dev/null
	@cmake --build build-sanitize -j $(JOBS)
	@cd build-sanitize && ctest --output-on-failure -j $(JOBS)

# Runs each fuzz target for FUZZ_SECONDS, seeded from examples/ and the saved regressions (the
# language server from the recorded sessions under tests/fuzz/sessions/). The
# inputs nested right at the limit (regressions/deep/) are replayed by the property tests
# instead: in the sanitized fuzz build, printing such a tree can outlast the 10-second timeout.
FUZZ_SECONDS ?= 60
fuzz:
	@WITH_CLANG=1 scripts/install-deps
	@CXX=clang++ cmake -S . -B build-fuzz $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTOLU_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS)
	@for target in lex pipeline lsp; do \
	  mkdir -p build-fuzz/corpus-$$target; \
	  if [ $$target = lsp ]; then cp tests/fuzz/sessions/* build-fuzz/corpus-$$target/; \
	  else cp examples/*.tos examples/lib/*.tom tests/fuzz/regressions/* build-fuzz/corpus-$$target/ 2>/dev/null; fi; \
	  build-fuzz/tests/fuzz/$${target}_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=4096 \
	    -print_final_stats=1 -artifact_prefix=build-fuzz/$$target- build-fuzz/corpus-$$target \
	    > build-fuzz/$$target.log 2>&1; status=$$?; \
	  echo "$$target: $$(grep -E 'stat::number_of_executed_units' build-fuzz/$$target.log)"; \
	  if [ $$status -ne 0 ]; then tail -n 40 build-fuzz/$$target.log; exit 1; fi; \
	done

# The optimised Release build of the tools and benchmarks in their own folder, then one table of
# figures.
bench:
	@WITH_BENCH=1 scripts/install-deps
	@JOBS=$(JOBS) scripts/profiled-build build-bench -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DTOLU_BENCH=ON
	@bench/run.sh build-bench

# Installs the library, the public headers, the tools and the package files below PREFIX.
PREFIX ?= /usr/local
install: release
	@cmake --install build-release --prefix "$(PREFIX)"

# Installs into temporary prefixes (static and shared builds) and builds a small program against
# each: find_package() with the static and with the shared library, and a plain compiler call
# with pkg-config.
consumer: deps
	@tests/consumer/run.sh

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build build-release build-profile build-sanitize build-fuzz build-bench build-consumer bench/out
