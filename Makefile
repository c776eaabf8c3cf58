# The two commands: `make run` and `make test`. Both install the Debian
# packages they lack first. `make deb` builds the Debian package.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PACKAGES := cmake make g++ pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev shared-mime-info \
            libical-dev libgmime-3.0-dev python3-icalendar python3-dateutil scdoc appstream desktop-file-utils man-db bash-completion poppler-utils
DEB_PACKAGES := dpkg-dev lintian
FUZZ_PACKAGES := clang libclang-rt-14-dev
FUZZ_SECONDS ?= 60
SANITIZE_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
SAMPLE := $(BUILD_DIR)/sample/winmail.dat
CLI := $(BUILD_DIR)/src/cli/parvane-cli
APP := $(BUILD_DIR)/src/app/parvane

.PHONY: all deps configure build test run deb bench sanitize fuzz clean

all: build

deps:
	@missing=""; for p in $(PACKAGES) $(EXTRA_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

$(SAMPLE): build
	@mkdir -p $(dir $(SAMPLE))
	$(BUILD_DIR)/tests/sample/parvane-make-sample $(SAMPLE)

# The application where there is a display; parvane-cli where there is none.
run: build $(SAMPLE)
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  echo "== parvane $(SAMPLE)"; \
	  $(APP) $(SAMPLE); \
	else \
	  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set), so Parvane cannot open a window;"; \
	  echo "showing the sample with parvane-cli instead."; echo; \
	  echo "== parvane-cli list $(SAMPLE)"; $(CLI) list $(SAMPLE); echo; \
	  echo "== parvane-cli trace $(SAMPLE)"; $(CLI) trace $(SAMPLE); \
	fi

# parvane_VERSION_amd64.deb in the build folder, for /usr, checked by lintian.
deb:
	$(MAKE) deps EXTRA_PACKAGES="$(DEB_PACKAGES)"
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCMAKE_INSTALL_PREFIX=/usr
	cmake --build $(BUILD_DIR) -j $(JOBS)
	rm -f $(BUILD_DIR)/parvane_*.deb
	cd $(BUILD_DIR) && cpack -G DEB
	lintian --fail-on error --display-info $(BUILD_DIR)/parvane_*.deb

bench: build
	BUILD_DIR=$(BUILD_DIR) bash bench/run.sh

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	$(MAKE) deps EXTRA_PACKAGES="$(FUZZ_PACKAGES)"
	CC=clang CXX=clang++ cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DPARVANE_SANITIZE=ON
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/fuzz/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# Each fuzz target for FUZZ_SECONDS, seeded with the tests' fixtures and the
# shared corpus when it is there.
fuzz:
	$(MAKE) deps EXTRA_PACKAGES="$(FUZZ_PACKAGES)"
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARVANE_FUZZ=ON
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_parse fuzz_names fuzz_prefs fuzz_rtf fuzz_rtftext fuzz_extract fuzz_unwrap parvane-make-sample
	bash tests/fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR)
