# The two commands of the README:
#   make run [FILE=path]   set up, build and start the window
#   make test              set up, build and run every test
BUILD_DIR ?= build
PREFIX ?= /usr/local
JOBS ?= $(shell nproc)

.PHONY: run test build deps configure install clean

deps:
	@tools/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	$(BUILD_DIR)/bin/quorvex $(if $(FILE),"$(FILE)")

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j$(JOBS)

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD_DIR)
