# Set-up, build, run and test in one place. `make run` and `make test` work on
# a fresh Debian 12 machine: they install what is missing first.

BUILD     ?= build
WORLD     ?= $(BUILD)/world
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)
PACKAGES  := qtbase5-dev libqt5opengl5-dev libglu1-mesa-dev cmake g++ make \
             xvfb xauth libgl1-mesa-dri assimp-utils desktop-file-utils
# The default world: subdivision 4, random continents with a fixed seed, demo island on.
WORLD_ARGS := --subdivision 4 --levels random --seed 1 --demo

# Tests need an X display; headless machines get a virtual one.
XRUN := $(if $(DISPLAY),,xvfb-run -a -s "-screen 0 1280x1024x24")

# Reliability runs: each has a build folder of its own (see README, Reliability).
FUZZ_BUILD    ?= build-fuzz
FUZZ_SECONDS  ?= 300
FUZZ_PACKAGES := clang libclang-rt-14-dev

.PHONY: all deps build world run test clean fuzz

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

$(WORLD)/base001.dat:
	$(BUILD)/tools/globe-world generate $(WORLD) $(WORLD_ARGS)

world: build
	@$(MAKE) --no-print-directory $(WORLD)/base001.dat

run: world
	cd $(WORLD) && $(abspath $(BUILD))/app/globe

test: build
	cd $(BUILD) && $(XRUN) ctest --output-on-failure -j $(JOBS)

fuzz:
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(FUZZ_PACKAGES)"
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DGLOBE_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_world fuzz_save fuzz_seeds
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
