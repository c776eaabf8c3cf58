# The two commands: `make run` and `make test`. Both install the Debian
# packages they lack first.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PACKAGES := cmake make g++ pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
SAMPLE := $(BUILD_DIR)/sample/winmail.dat
CLI := $(BUILD_DIR)/src/cli/parvane-cli

.PHONY: all deps configure build test run bench clean

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
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

run: build $(SAMPLE)
	@echo "== parvane-cli list $(SAMPLE)"
	@$(CLI) list $(SAMPLE)
	@echo
	@echo "== parvane-cli trace $(SAMPLE)"
	@$(CLI) trace $(SAMPLE)

bench: build
	BUILD_DIR=$(BUILD_DIR) bash bench/run.sh

clean:
	rm -rf $(BUILD_DIR)
