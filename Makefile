# Quick start:
#   make demo      runs TavloAdmin on a simulated network of clocks
#   make test      builds everything and runs every test
#   make install   installs TavloAdmin under PREFIX (default /usr/local; DESTDIR is honoured)
#   make package   builds the Debian package $(BUILD)/tavloadmin_*.deb
BUILD ?= build
GENERATOR ?= Ninja
CMAKE_FLAGS ?=
PREFIX ?= /usr/local

.PHONY: all deps configure build test demo screenshots install package clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure --timeout 600

# Needs root (network namespaces) and a display; says what to do when either is missing.
demo:
	@scripts/demo --preflight
	@$(MAKE) --no-print-directory build
	@scripts/demo $(BUILD)

screenshots: build
	@scripts/screenshots $(BUILD)

install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

package: build
	@cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)
