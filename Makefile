# make          build everything: build/win32/launcher.exe, build/win64/launcher.exe,
#               build/native/kvo-pack, ...
# make test     build and run every test tier (installs what is missing)
# make example  pack examples/app.kvo and start it under Wine
# make fuzz     every fuzz target FUZZ_SECONDS each (default 600), a line per target
# make realvm   the real JVM the tests and the example run on (from ../shared/avian)
# make bench    the launcher's start-up next to a bare jvm.dll loader (ROUNDS, default 15)
# make clean

NATIVE := build/native
WIN32 := build/win32
WIN64 := build/win64
JOBS ?= 2

.PHONY: all deps third-party native win32 win64 realvm test example bench fuzz clean

all: deps native win32 win64

deps:
	@scripts/install-deps.sh

$(NATIVE)/CMakeCache.txt:
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++

$(WIN32)/CMakeCache.txt:
	cmake -S . -B $(WIN32) -DCMAKE_BUILD_TYPE=MinSizeRel \
	    -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake

$(WIN64)/CMakeCache.txt:
	cmake -S . -B $(WIN64) -DCMAKE_BUILD_TYPE=MinSizeRel \
	    -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-x86_64.cmake

# Debian's libpng source, the PNG decoder of both packers.
third-party: deps
	@scripts/fetch-libpng-source.sh build/third-party/libpng

native: deps third-party $(NATIVE)/CMakeCache.txt
	cmake --build $(NATIVE) -j$(JOBS)

win32: deps third-party $(WIN32)/CMakeCache.txt
	cmake --build $(WIN32) -j$(JOBS)

win64: deps third-party $(WIN64)/CMakeCache.txt
	cmake --build $(WIN64) -j$(JOBS)

realvm: deps
	@scripts/build-realvm.sh

test: all realvm
	scripts/run-tests.sh

example: all realvm
	scripts/run-example.sh

bench: all realvm
	scripts/bench-startup.sh $${ROUNDS:-15}

fuzz: native
	scripts/fuzz.sh $${FUZZ_SECONDS:-600}

clean:
	rm -rf build
