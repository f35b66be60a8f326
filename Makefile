# Convenience wrapper around CMake presets.
.PHONY: all build test run asan bench fuzz clean

all: build

build:
	cmake --preset dev
	cmake --build --preset dev

test:
	cmake --preset ci
	cmake --build --preset ci
	ctest --preset ci

run: build
	./build/dev/bin/vandrelkast

bench:
	cmake --preset bench
	cmake --build --preset bench

fuzz:
	cmake --preset fuzz
	cmake --build --preset fuzz

clean:
	rm -rf build
