# Quick start:
#   make demo      runs TavloAdmin on a simulated network of clocks
#   make test      builds everything and runs every test
#   make install   installs TavloAdmin under PREFIX (default /usr/local; DESTDIR is honoured)
#   make package   builds the Debian package $(BUILD)/tavloadmin_*.deb
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
GENERATOR ?= Ninja
CMAKE_FLAGS ?=
PREFIX ?= /usr/local
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build test tsan-build tsan demo screenshots install package fuzz clean \
	windows windows-test package-windows

all: build

deps:
	@scripts/install-deps

# Release builds at -O2, the level Debian builds its packages with (GCC 12 warns falsely at -O3).
RELEASE_FLAGS = $(if $(filter Release,$(BUILD_TYPE)),"-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG")
# A build folder keeps the type it was made with unless BUILD_TYPE is given, so that `make
# package` after `make test BUILD_TYPE=Release` packages that build instead of redoing it.
TYPE_FLAGS = $(if $(and $(filter file,$(origin BUILD_TYPE)),$(wildcard $(BUILD)/CMakeCache.txt)),,\
	-DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(RELEASE_FLAGS))
configure: deps
	@cmake -S . -B $(BUILD) -G $(GENERATOR) $(TYPE_FLAGS) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure --timeout 600

# The suites that start threads (search and update workers, the window's search, its reads,
# writes and batch updates, the update monitor, the System page's update, the simulator, the
# network tests) under ThreadSanitizer in build-tsan; any report fails the run.
TSAN_BUILD ?= build-tsan
# Only their programs are built there (the network tests bring tavlo and tavlo-clocksim).
TSAN_SUITES = ^(discovery|firmware|test_system_page|main_dialog_tests|tree_read_tests|update_monitor_tests|modify_tests|clocksim|clocksim_tftp|clocksim_network|discovery_network|network_firmware|window_network)$$
TSAN_TARGETS = discovery_tests firmware_tests test_system_page main_dialog_tests tree_read_tests \
	update_monitor_tests modify_tests clocksim_tests clocksim_tftp_tests clocksim_network_tests \
	discovery_network_tests network_firmware_tests window_network_tests
# -O1 and line tables only: half the compile time of -O2 -g, and reports still name the lines.
tsan-build: deps
	@cmake -S . -B $(TSAN_BUILD) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DTAVLO_SANITIZE=thread \
		$(CMAKE_FLAGS) >/dev/null
	@cmake --build $(TSAN_BUILD) --target $(TSAN_TARGETS)

tsan: tsan-build
	@cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 \
		ignore_noninstrumented_modules=1 suppressions=$(CURDIR)/tests/tsan.supp" \
		ctest --output-on-failure --timeout 600 -R '$(TSAN_SUITES)'

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

# Every fuzz target of tests/fuzz for FUZZ_SECONDS (built with clang in build-fuzz).
fuzz: deps
	@FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/fuzz

# The core and tavlo for 64-bit Windows (MinGW-w64) in build-windows, their tests under Wine.
WINDOWS_BUILD ?= build-windows
windows:
	@scripts/install-deps --windows
	@cmake -S . -B $(WINDOWS_BUILD) -G $(GENERATOR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
		-DTAVLO_CORE_ONLY=ON -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" \
		$(CMAKE_FLAGS) >/dev/null
	@cmake --build $(WINDOWS_BUILD)

# Then tavlo.exe against the Linux build's simulator in a test network (as root; skipped
# otherwise), its output compared with the Linux tavlo's.
windows-test: windows
	@cd $(WINDOWS_BUILD) && ctest --output-on-failure --timeout 600
	@$(MAKE) --no-print-directory configure
	@cmake --build $(BUILD) --target tavlo tavlo-clocksim
	@tests/windows/wine-network-test $(BUILD) $(WINDOWS_BUILD) || [ $$? -eq 77 ]

# build-windows/tavlo-VERSION-windows-x86_64.zip: tavlo.exe, its manual as text, a README.
package-windows: windows
	@cmake --build $(WINDOWS_BUILD) --target package_windows

clean:
	rm -rf $(BUILD)
