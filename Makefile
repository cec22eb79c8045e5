# Quick start on Debian 12 (as root): `make run`, `make test`.
BUILD := $(CURDIR)/build
PRESET := mingw-i686
JOBS ?= 2

.PHONY: all build setup configure run test bench clean

all: build

setup:
	@bash scripts/setup.sh

configure: setup
	@test -f $(BUILD)/build.ninja || cmake --preset $(PRESET) $(if $(CI),-DZORVANE_WERROR=ON) >/dev/null

build: configure
	@cmake --build $(BUILD)
	@bash scripts/make-prefix.sh $(BUILD)

run: build
	@bash scripts/run.sh $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Times the scan against a minimal Win32 loop and yara; reports only, never part of test.
bench: build
	@bash bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD)
