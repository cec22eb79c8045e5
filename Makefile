# Quick start on Debian 12 (as root): `make run`, `make test`.
BUILD := $(CURDIR)/build
PRESET := mingw-i686
JOBS ?= 2
# WERROR=1 treats warnings as errors (CI asks for it); without it they stay warnings.
# Either way the choice is applied to an already configured build folder too.
WERROR ?=
werror := $(if $(filter 1 ON on yes true,$(WERROR)),ON,OFF)

.PHONY: all build setup configure run test dist bench clean

all: build

setup:
	@bash scripts/setup.sh

configure: setup
	@test -f $(BUILD)/build.ninja && grep -qx 'ZORVANE_WERROR:BOOL=$(werror)' $(BUILD)/CMakeCache.txt \
	  || cmake --preset $(PRESET) -DZORVANE_WERROR=$(werror) >/dev/null

build: configure
	@cmake --build $(BUILD)
	@bash scripts/make-prefix.sh $(BUILD)

run: build
	@bash scripts/run.sh $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The release: build/Zorvane-3.3-setup.exe (and the install image build/dist/).
dist: configure
	@cmake --build $(BUILD) --target setup_exe
	@ls -l $(BUILD)/Zorvane-*-setup.exe

# Times the scan against a minimal Win32 loop and yara; reports only, never part of test.
bench: build
	@bash bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD)
