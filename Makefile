# Front door of the build: installs what is missing, configures CMake, builds, tests, benchmarks.
#
#   make demo    set everything up and denoise a real camera photo with stillgrain-cli
#   make test    set everything up, run every test, then every test again under the sanitizers
#   make fuzz    build the fuzz targets with clang and run each for FUZZ_SECONDS, or for FUZZ_RUNS
#                inputs from a fixed seed (fuzz/README.md)
#   make photos  fetch the public camera photos that some tests read (into build/test-photos)
#   make bench   build and run the benchmark against OpenCV
#   make calibrate  fit the noise calibration of the automatic profile on a corpus made from the
#                fetched photos (docs/NOISE_CALIBRATION.md); CALIBRATE_ARGS=--check only checks it,
#                CALIBRATE_ARGS=--held-out checks it on photos the fit never sees
#   make screenshots  render the documentation's screenshots of the application (docs/screenshots)
#   make install set everything up and install the programs (PREFIX, default /usr/local)
#   make build   install missing packages, configure and build (release, in build/)
#   make deps    install missing packages only
#   make clean   remove the build folders
#
# Every target can be run again: finished work (packages, configuration, objects) is not redone.

BUILD_DIR  := build
ASAN_DIR   := build-asan
FUZZ_DIR   := build-fuzz
FUZZ_SECONDS ?= 30
# Set, each fuzz target runs exactly this many inputs from a fixed seed instead (what CI does).
FUZZ_RUNS ?=
PHOTOS_DIR := $(BUILD_DIR)/test-photos
CTEST_JOBS ?= 2
DEMO_ARGS  ?=
BENCH_ARGS ?=

CMAKE_GENERATOR := -G Ninja
RELEASE_FLAGS   := -DCMAKE_BUILD_TYPE=Release
# The sanitizer build keeps some optimisation: without it the engine's tests crawl on two cores.
# Assertions stay on.
ASAN_FLAGS      := -DSTILLGRAIN_SANITIZE=ON -DSTILLGRAIN_BENCH=OFF \
                   -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g"
SANITIZER_ENV   := ASAN_OPTIONS=detect_leaks=1 \
                   UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The fuzz build: clang, libFuzzer's coverage and the sanitizers in every library of the tree.
FUZZ_FLAGS      := -DSTILLGRAIN_FUZZ=ON -DSTILLGRAIN_BENCH=OFF -DCMAKE_CXX_COMPILER=clang++ \
                   -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
                   -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined \
                   -fno-sanitize-recover=undefined"
# Objects already compiled once (by another build folder or an earlier run) come from ccache. Paths
# are hashed relative to the checkout, so that a fresh clone elsewhere (as CI makes) finds them too.
CCACHE := $(shell command -v ccache 2>/dev/null)
ifneq ($(CCACHE),)
CMAKE_GENERATOR += -DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE)
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
endif

# Redone when the package list changes, and on a fresh clone (the stamp lives in the build folder).
DEPS_STAMP := $(BUILD_DIR)/.deps-installed

.DEFAULT_GOAL := build
.PHONY: deps build photos demo test fuzz bench calibrate screenshots install clean

deps: $(DEPS_STAMP)

$(DEPS_STAMP): scripts/install-deps.sh
	scripts/install-deps.sh
	@mkdir -p $(BUILD_DIR)
	@touch $@

$(BUILD_DIR)/build.ninja: $(DEPS_STAMP)
	cmake -S . -B $(BUILD_DIR) $(CMAKE_GENERATOR) $(RELEASE_FLAGS)

$(ASAN_DIR)/build.ninja: $(DEPS_STAMP)
	cmake -S . -B $(ASAN_DIR) $(CMAKE_GENERATOR) $(ASAN_FLAGS)

$(FUZZ_DIR)/build.ninja: $(DEPS_STAMP)
	cmake -S . -B $(FUZZ_DIR) $(CMAKE_GENERATOR) $(FUZZ_FLAGS)

build: $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR)

# Without the network the fetch fails: make says so and goes on, and the tests that read the
# photos skip with a message.
photos: $(DEPS_STAMP)
	-scripts/fetch-test-photos.sh $(PHOTOS_DIR)

# The main job: a real camera photo (6000 × 4000, from the fetched test photos) denoised with the
# stored profile of its camera and ISO (else the automatic profile from its measured noise), saved
# with its EXIF beside the other build outputs.
DEMO_PHOTO  := $(PHOTOS_DIR)/sony-alpha-6000.jpg
DEMO_OUTPUT := $(BUILD_DIR)/demo/sony-alpha-6000-denoised.jpg

demo: build photos
	@mkdir -p $(dir $(DEMO_OUTPUT))
	$(BUILD_DIR)/stillgrain-cli denoise $(DEMO_PHOTO) -o $(DEMO_OUTPUT) $(DEMO_ARGS)

test: build photos $(ASAN_DIR)/build.ninja
	ctest --test-dir $(BUILD_DIR) --output-on-failure --no-tests=error -j$(CTEST_JOBS)
	cmake --build $(ASAN_DIR)
	$(SANITIZER_ENV) ctest --test-dir $(ASAN_DIR) --output-on-failure --no-tests=error \
	    -j$(CTEST_JOBS)

# The seed corpora need the fetched photos; the corpora grow in $(FUZZ_DIR)/work from run to run.
fuzz: photos $(FUZZ_DIR)/build.ninja
	cmake --build $(FUZZ_DIR) --target fuzzers
	fuzz/run_fuzzers.sh $(FUZZ_DIR) $(if $(FUZZ_RUNS),runs=$(FUZZ_RUNS),$(FUZZ_SECONDS)) \
	    $(FUZZ_DIR)/work

# Needs Debian's python3-numpy and python3-pil, which the build and the tests do not; they are
# installed here when missing. About 8 minutes on two cores the first time; the sweeps are kept in
# build/calibration and a second run only fits and checks. CALIBRATE_ARGS=--held-out checks the
# table on scikit-image's pictures instead (python3-skimage, installed then; about 11 minutes).
CALIBRATE_ARGS ?=
calibrate: build photos
	scripts/install-deps.sh $(if $(findstring --held-out,$(CALIBRATE_ARGS)),--held-out,--calibration)
	/usr/bin/python3 tools/fit_noise_calibration.py --build $(BUILD_DIR) $(CALIBRATE_ARGS)

# Real photos, rendered on Qt's off-screen platform: no display needed.
SCREENSHOTS_DIR := docs/screenshots
screenshots: build photos
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/take_screenshots $(DEMO_PHOTO) $(SCREENSHOTS_DIR)

PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The camera photo cut to 3000 × 2000 from its middle, noise added; BENCH_ARGS may add or override
# options (for example BENCH_ARGS="--size 6000x4000 --threads 1"). Then the live preview's latency
# in the desktop application (Qt's off-screen platform), from a drag to the pixels in the view.
bench: build photos
	$(BUILD_DIR)/bench/denoise_vs_opencv --photo $(DEMO_PHOTO) --size 3000x2000 $(BENCH_ARGS)
	$(BUILD_DIR)/bench/preview_latency --photo $(DEMO_PHOTO)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR)
