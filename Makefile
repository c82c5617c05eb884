# Thin front door over CMake. Each build flavour lives in its own folder.
JOBS ?= 2
CMAKE_GEN := -G Ninja

.PHONY: all deps build release demo test sanitize format clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B build $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build -j $(JOBS)

release: deps
	@cmake -S . -B build-release $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DTOLU_TESTS=OFF >/dev/null
	@cmake --build build-release -j $(JOBS)

demo: release
	@build-release/tolu-parse-files examples/

test: build
	@cd build && ctest --output-on-failure -j $(JOBS)

sanitize: deps
	@cmake -S . -B build-sanitize $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTOLU_SANITIZE=ON >/dev/null
	@cmake --build build-sanitize -j $(JOBS)
	@cd build-sanitize && ctest --output-on-failure -j $(JOBS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build build-release build-sanitize
