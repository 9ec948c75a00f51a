# The two commands of the README:
#   make run [FILE=path]   set up, build and start the window
#   make test              set up, build and run every test
# and, for longer runs of the fuzz targets by hand:
#   make fuzz [FUZZ_SECONDS=300]
BUILD_DIR ?= build
ASAN_DIR ?= build-asan
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 300
PREFIX ?= /usr/local
JOBS ?= $(shell nproc)

.PHONY: run test test-asan test-fuzz fuzz fuzz-build build deps configure install clean

deps:
	@tools/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	$(BUILD_DIR)/bin/quorvex $(if $(FILE),"$(FILE)")

# Every test; then the unit tests again under the sanitizers, and a short
# run of each fuzz target.
test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j$(JOBS)
	@$(MAKE) --no-print-directory test-asan test-fuzz

# AddressSanitizer and UndefinedBehaviorSanitizer. Without the window: its
# tests are not unit tests, and Qt's own libraries are not instrumented.
test-asan: deps
	@echo "Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer ($(ASAN_DIR))"
	@cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEX_SANITIZE=ON -DQUORVEX_GUI=OFF >/dev/null
	@cmake --build $(ASAN_DIR) -j$(JOBS) --target unit_tests
	cd $(ASAN_DIR) && ctest -L unit --output-on-failure -j$(JOBS)

# The fuzz targets alone, built with clang and libFuzzer.
fuzz-build: deps
	@cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DQUORVEX_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_DIR) -j$(JOBS)

test-fuzz: fuzz-build
	@echo "A few seconds of each fuzz target ($(FUZZ_DIR))"
	cd $(FUZZ_DIR) && ctest -L fuzz --output-on-failure -j$(JOBS)

fuzz: fuzz-build
	tests/fuzz/run-fuzzers.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR)
