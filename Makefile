# The two commands of the README: `make run` and `make test`. Both install what is missing first.
# `make package` builds the Debian package.
BUILD ?= build
FUZZ_BUILD ?= build-fuzz
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
FUZZ_SECONDS ?= 60
BENCH_BUILD ?= build-bench
# Our own builds treat warnings as errors; a plain cmake build of the sources does not.
OWN_FLAGS := -DKESTORY_WERROR=ON

.PHONY: all deps configure build test fuzz bench run package samples clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(OWN_FLAGS) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The fuzzer first, so that ctest's summary is the run's closing line.
test: build
	@$(MAKE) --no-print-directory fuzz
	@cd $(BUILD) && ctest -j $(JOBS) --output-on-failure

# The EXIF reader under libFuzzer with AddressSanitizer and UBSan, from fresh seed corpora written
# by the normal build: exif_fuzzer takes any bytes as a photo file, tiff_fuzzer as a bare EXIF
# block and as a raw file; they share FUZZ_SECONDS, half each. A crash, a leak, a sanitizer report,
# a hang or an out-of-memory stops a fuzzer with a non-zero status, which fails this target; the
# input that did it lands in $(FUZZ_BUILD)/ (crash-*, leak-*, timeout-*, oom-*).
fuzz: configure
	@cmake --build $(BUILD) --target kestory-fuzz-seeds -j $(JOBS)
	@cmake -S . -B $(FUZZ_BUILD) -G Ninja $(OWN_FLAGS) -DKESTORY_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14 \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(FUZZ_BUILD) --target exif_fuzzer tiff_fuzzer -j $(JOBS)
	@rm -rf $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/corpus-tiff
	@$(BUILD)/fuzz/kestory-fuzz-seeds $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/corpus-tiff
	@$(FUZZ_BUILD)/fuzz/exif_fuzzer -max_total_time=$$(( ($(FUZZ_SECONDS) + 1) / 2 )) -timeout=10 -rss_limit_mb=2048 \
		-detect_leaks=1 -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/ $(FUZZ_BUILD)/corpus
	@$(FUZZ_BUILD)/fuzz/tiff_fuzzer -max_total_time=$$(( $(FUZZ_SECONDS) > 1 ? $(FUZZ_SECONDS) / 2 : 1 )) -timeout=10 -rss_limit_mb=2048 \
		-detect_leaks=1 -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/ $(FUZZ_BUILD)/corpus-tiff

# The benchmarks in a Release build of their own, then the import against libvips' thumbnailer and
# a first and a second import through the thumbnail cache; each with cache and configuration
# folders of its own in a temporary folder, never the user's.
bench: deps
	@cmake -S . -B $(BENCH_BUILD) -G Ninja $(OWN_FLAGS) -DCMAKE_BUILD_TYPE=Release -DKESTORY_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) --target kestory-bench kestory-make-corpus kestory-cache-bench kestory-export -j $(JOBS)
	@homes=$$(mktemp -d) && trap 'rm -rf "$$homes"' EXIT && \
		XDG_CACHE_HOME=$$homes/cache XDG_CONFIG_HOME=$$homes/config $(BENCH_BUILD)/bench/kestory-bench
	@bench/import-vs-libvips $(BENCH_BUILD)
	@bench/cache-second-import $(BENCH_BUILD)
	@bench/embedded-first-import $(BENCH_BUILD)

# From the program's own folder of the build, where the help document lies beside it: the help
# command looks for it in the working directory.
run: build
	@cd $(BUILD)/shell && ./kestory

# The Debian package of the build, $(BUILD)/kestory_<version>_<arch>.deb; apt installs it with what
# it needs to run.
package: build
	@cd $(BUILD) && cpack -G DEB

samples: build
	@$(BUILD)/tools/kestory-make-samples samples
	@echo "Sample photos written to samples/"

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD) $(BENCH_BUILD)
