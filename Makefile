# The two commands of the README: `make run` and `make test`. Both install what is missing first.
BUILD ?= build
FUZZ_BUILD ?= build-fuzz
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps configure build test run samples clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest -j $(JOBS) --output-on-failure

# From the program's own folder of the build, where the help document lies beside it: the help
# command looks for it in the working directory.
run: build
	@cd $(BUILD)/shell && ./kestory

samples: build
	@$(BUILD)/tools/kestory-make-samples samples
	@echo "Sample photos written to samples/"

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
