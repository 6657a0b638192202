# Two commands do all the set-up: `make run` and `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
export QT_QPA_PLATFORM_PLUGIN_PATH

.PHONY: all deps configure build run test bench fuzz package install clean

all: build

deps:
	@scripts/install-deps

$(BUILD_DIR)/CMakeCache.txt:
	@$(MAKE) --no-print-directory deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD_DIR)/CMakeCache.txt

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Starts the program against the simulated station in $(BUILD_DIR)/demo.
# Without a display it renders the windows offscreen, writes PNGs there and
# prints the current conditions.
run: build
	@scripts/run-demo $(BUILD_DIR)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	@scripts/run-bench $(BUILD_DIR)

# Runs every fuzz target for FUZZ_SECONDS (default 150) under the sanitizers,
# one after another, in a clang build of its own (build-fuzz).
fuzz: deps
	@scripts/run-fuzz -t $(or $(FUZZ_SECONDS),150)

# A Debian package of the program in $(BUILD_DIR): nimbrel_VERSION_ARCH.deb,
# installed with `sudo apt install ./$(BUILD_DIR)/nimbrel_*.deb`.
package: build
	cd $(BUILD_DIR) && cpack -G DEB

# Installs into PREFIX (default /usr/local); `make install PREFIX=/tmp/x`.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD_DIR)
