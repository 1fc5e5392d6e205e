# Set-up, build, run and test in one place. `make run` and `make test` work on
# a fresh Debian 12 machine: they install what is missing first.

BUILD     ?= build
WORLD     ?= $(BUILD)/world
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)
PACKAGES  := qtbase5-dev libqt5opengl5-dev libglu1-mesa-dev cmake g++ make \
             xvfb xauth libgl1-mesa-dri assimp-utils desktop-file-utils \
             dpkg-dev x11-utils clang-format
# Rasters in and out: the import reads any relief GDAL reads, maps are also GeoTIFFs.
# gdal-bin and time: the import benchmark's rasters and its reference (make bench).
PACKAGES  += libgdal-dev libproj-dev gdal-bin time
# libpng: a large map's PNG is encoded while it is drawn.
PACKAGES  += libpng-dev
# GDAL's container libraries, asked what a netCDF, HDF5 or HDF4 file points
# at before GDAL reads it (their runtimes reach the package's Depends
# through dpkg-shlibdeps).
PACKAGES  += libhdf5-dev libnetcdf-dev libhdf4-alt-dev
# The 3D exports' format libraries: glTF (tinygltf) and 3MF (lib3mf).
PACKAGES  += libtinygltf-dev lib3mf-dev
# The 3MF's painting for the slicers rewrites lib3mf's package with libzip.
PACKAGES  += libzip-dev
# The manual pages are made from the programs' --help at build time.
PACKAGES  += help2man
# The web page's viewer, built into the program: three.js.
PACKAGES  += libjs-three
# Turntables: animated WebP, GIF with one palette (libimagequant), H.264 MP4
# through ffmpeg's libraries.
PACKAGES  += libwebp-dev libgif-dev libimagequant-dev libavcodec-dev libavformat-dev \
             libswscale-dev libavutil-dev
# The tests' readers of those: headless Chromium opens the web page, ffprobe
# counts an MP4's frames.
PACKAGES  += chromium ffmpeg
# Where `make install` puts the programs, menu entry, icon and documentation.
PREFIX    ?= /usr/local
# The default world: subdivision 4, random continents with a fixed seed, demo island on.
WORLD_ARGS := --subdivision 4 --terrain random --seed 1 --demo

# Tests need an X display; headless machines get a virtual one.
XRUN := $(if $(DISPLAY),,xvfb-run -a -s "-screen 0 1280x1024x24")

# Reliability runs: each has a build folder of its own (see README, Reliability).
FUZZ_BUILD    ?= build-fuzz
FUZZ_SECONDS  ?= 300
FUZZ_PACKAGES := clang libclang-rt-14-dev
ASAN_BUILD    ?= build-asan
SOAK_EVENTS   ?= 20000
SOAK_SEED     ?= $(shell date +%s)
SAVE_KILLS    ?= 500
# Stop at the first report; LeakSanitizer ignores leaks inside Mesa and Qt
# (tests/lsan.supp); a small quarantine keeps the soak's RSS about our memory.
# Mesa unloads its driver before LeakSanitizer looks, which leaves the
# driver's leaks without a module to suppress them by: preloaded, it stays.
MESA_DRIVER   := $(firstword $(wildcard /usr/lib/*/dri/swrast_dri.so))
SANITIZER_ENV := ASAN_OPTIONS=detect_leaks=1:quarantine_size_mb=16:verify_asan_link_order=0 \
                 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
                 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
SANITIZER_RUN := $(XRUN) env $(if $(MESA_DRIVER),LD_PRELOAD=$(MESA_DRIVER))

# The benchmarks' own references, installed by the bench targets only: SAGA
# for the drainage, so that `make test` does not wait for it.
BENCH_PACKAGES := saga
# The README's pictures: the window grabbed from Xvfb, the halves rendered.
PICTURE_PACKAGES := xvfb x11-apps x11-utils netpbm f3d

# Every C++ source, for the formatting check (.clang-format).
SOURCES    = $(shell find app terrain world sphere overlays generator water erosion gdal meshes maps relief tools tests bench fuzz \
                   -name '*.cpp' -o -name '*.h' | sort)

.PHONY: all deps build programs world run test check-fast pictures bench bench-deps bench-import bench-map bench-water bench-erosion bench-web install package clean fuzz asan-build test-asan soak kill-test \
        format format-check

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing:" $$missing; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	  else \
	    echo "Missing packages. Install them with:"; \
	    echo "  sudo apt-get install -y" $$missing; \
	    exit 1; \
	  fi; \
	fi

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# What `make run` needs and no more: the tests and the benchmark take minutes
# to build on a small machine.
programs: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target globe globe-world

$(WORLD)/base001.dat:
	$(BUILD)/tools/globe-world generate $(WORLD) $(WORLD_ARGS)

world: programs
	@$(MAKE) --no-print-directory $(WORLD)/base001.dat

run: world
	cd $(WORLD) && $(abspath $(BUILD))/app/globe

test: build
	cd $(BUILD) && $(XRUN) ctest --output-on-failure -j $(JOBS)

# The suites without the rows labelled slow (the soak, the package, the
# subdivision-8 round trip): for the edit-build-test loop, never instead of
# `make test`.
check-fast: build
	cd $(BUILD) && $(XRUN) ctest --output-on-failure -j $(JOBS) -LE slow

# The full benchmark: worlds of subdivision 3 to 8, reports into docs/. Takes
# minutes: software GL compiles and draws on the CPU.
# Then the import of two large rasters beside gdal_translate (about two
# minutes) and the maps of a subdivision-8 world beside gdal_translate and
# gdalwarp, appended to docs/performance.md; bench-import and bench-map run
# those alone. Then the drainage beside SAGA (bench/water_bench.sh).
bench-deps:
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(BENCH_PACKAGES)"

bench: build bench-deps
	$(XRUN) $(BUILD)/bench/globe-bench --out docs
	bench/import_bench.sh $(BUILD) docs
	bench/map_bench.sh $(BUILD) docs
	bench/water_bench.sh $(BUILD) docs
	bench/erosion_bench.sh $(BUILD) docs
	bench/web_bench.sh $(BUILD) docs

bench-import: build
	bench/import_bench.sh $(BUILD) docs

bench-map: programs
	bench/map_bench.sh $(BUILD) docs

# The web pages' sizes and Chromium's times, the turntable beside single
# orthographic maps (a few minutes).
bench-web: programs
	bench/web_bench.sh $(BUILD) docs

# The drainage beside SAGA's fill-sinks and flow accumulation (a minute).
bench-water: build bench-deps
	bench/water_bench.sh $(BUILD) docs

# The pictures in docs/pictures/, made by the programs themselves (a minute).
pictures: build
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(PICTURE_PACKAGES)"
	sh docs/pictures.sh $(BUILD) docs/pictures

# erode and the plates world beside our own drainage and the random world (a few minutes).
bench-erosion: build
	bench/erosion_bench.sh $(BUILD) docs

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# The .deb lands in $(BUILD); lintian, where installed, reviews it.
package: build
	cmake --build $(BUILD) --target package
	@if command -v lintian >/dev/null; then \
	  echo "lintian $(BUILD)/globe_*.deb"; lintian $(BUILD)/globe_*.deb; \
	fi

fuzz:
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(FUZZ_PACKAGES)"
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DGLOBE_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_world fuzz_save fuzz_raster fuzz_door fuzz_seeds
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

$(ASAN_BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(ASAN_BUILD) -DGLOBE_SANITIZE=ON

asan-build: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test-asan: asan-build
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) $(SANITIZER_RUN) ctest --output-on-failure -j $(JOBS)

# The long soak: QtTest's five-minute limit per test function is lifted.
soak: asan-build
	cd $(ASAN_BUILD)/tests && SOAK_EVENTS=$(SOAK_EVENTS) SOAK_SEED=$(SOAK_SEED) \
	  QTEST_FUNCTION_TIMEOUT=14400000 $(SANITIZER_ENV) $(SANITIZER_RUN) ./tst_soak

# Lists each file clang-format would change, and fails if there is one.
format-check: deps
	@clang-format --dry-run --Werror $(SOURCES)

format: deps
	clang-format -i $(SOURCES)

# A saver killed with SIGKILL SAVE_KILLS times while it saves; make test
# runs 40 kills.
kill-test: build
	SAVE_KILLS=$(SAVE_KILLS) $(BUILD)/tests/tst_savekills

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
