# The two commands of README.md:
#
#   make run    build the host tree if needed, then start the bench
#   make test   install missing Debian packages (as root), build `host` and
#               `windows`, check the driver image, run every host test
#
# Everything else here is plumbing for those two. The CMake presets in
# CMakePresets.json hold the real build configuration.

SHELL := /bin/bash
.SHELLFLAGS := -euo pipefail -c
.DEFAULT_GOAL := help

JOBS ?= $(shell nproc)
PRESETS := host host-asan host-tsan windows
BENCH := build/host/tools/bench/qtr84bench
DRIVER_IMAGE := build/windows/driver/84prusb.sys
OBJDUMP ?= x86_64-w64-mingw32-objdump
# The only modules a kernel driver may import from.
KERNEL_MODULES := ntoskrnl.exe hal.dll usbd.sys wmilib.sys

.PHONY: help run test deps check-driver-image \
        $(addprefix configure-,$(PRESETS)) $(addprefix build-,$(PRESETS))

help:
	@echo "make run    build if needed, then start the bench ($(BENCH))"
	@echo "make test   install missing packages (as root), build host and windows, run all tests"

run: build-host
	@if [[ ! -x $(BENCH) ]]; then \
	    echo "make run: $(BENCH) has not been built: the bench (tools/bench) is not in the tree yet." >&2; \
	    exit 1; \
	fi
	$(BENCH)

test: build-host build-windows check-driver-image
	ctest --preset host -j $(JOBS)

deps:
	@tools/install-deps.sh

# Configure once per preset; afterwards Ninja re-runs CMake by itself when a
# CMakeLists.txt changes. A change to the presets or the toolchain file
# configures again so new cache variables take effect.
build/%/.configured: CMakePresets.json cmake/mingw-w64-x86_64.cmake | deps
	cmake --preset $*
	@touch $@

$(addprefix configure-,$(PRESETS)): configure-%: build/%/.configured

$(addprefix build-,$(PRESETS)): build-%: build/%/.configured
	cmake --build --preset $* -j $(JOBS)

# A .sys that links is not yet a .sys Windows loads: it must be a native
# image with an entry point, and import from kernel modules only (a stray
# CRT or kernel32 import makes the load fail).
check-driver-image: build-windows
	@dump=$$($(OBJDUMP) -p $(DRIVER_IMAGE)); \
	grep -Eq '^Subsystem[[:space:]]+0+1[[:space:]]+\(NT native\)' <<<"$$dump" \
	    || { echo "$(DRIVER_IMAGE): not a native-subsystem image" >&2; exit 1; }; \
	grep -Eq '^AddressOfEntryPoint[[:space:]]+0*[1-9a-f]' <<<"$$dump" \
	    || { echo "$(DRIVER_IMAGE): no entry point" >&2; exit 1; }; \
	modules=$$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$$dump" | tr '[:upper:]' '[:lower:]'); \
	[[ -n "$$modules" ]] || { echo "$(DRIVER_IMAGE): no import table" >&2; exit 1; }; \
	for module in $$modules; do \
	    case " $(KERNEL_MODULES) " in \
	        *" $$module "*) ;; \
	        *) echo "$(DRIVER_IMAGE): imports from $$module; only $(KERNEL_MODULES) are allowed" >&2; exit 1;; \
	    esac; \
	done; \
	echo "$(DRIVER_IMAGE): native image, imports from" $$modules
