# The commands of README.md:
#
#   make run    build the host tree if needed, then start the bench
#   make test   install missing Debian packages (as root), build `host` and
#               `windows`, check the driver image, run every host test
#   make fuzz   build the fuzz targets and run each for FUZZ_SECONDS (60),
#               merging what they found into the stored corpora
#
# Everything else here is plumbing for those. The CMake presets in
# CMakePresets.json hold the real build configuration.

SHELL := /bin/bash
.SHELLFLAGS := -euo pipefail -c
.DEFAULT_GOAL := help

JOBS ?= $(shell nproc)
PRESETS := host host-asan host-tsan windows fuzz
BENCH := build/host/tools/bench/qtr84bench
DRIVER_IMAGE := build/windows/driver/84prusb.sys
ASSISTANT_IMAGE := build/windows/assistant/qtr84px1asst64.exe
OBJDUMP ?= x86_64-w64-mingw32-objdump
# The only modules a kernel driver may import from.
KERNEL_MODULES := ntoskrnl.exe hal.dll usbd.sys wmilib.sys
REGLIB_IMAGE := build/windows/reglib/cl84prreg64.dll
# System DLLs every Windows has; msports, newdev and SetupCopyOEMInfA are
# loaded by name at run time and must not be imported.
REGLIB_MODULES := kernel32.dll advapi32.dll msvcrt.dll setupapi.dll
REGLIB_EXPORTS := fnClaimComPort fnReleaseComPort fnGetPortsInUse fnGetDriverConfig fnSetDriverConfig \
                  fnCopyInfToSystem fnUpdateDriverPNP fnClqtrreg

.PHONY: help run test fuzz deps check-driver-image check-reglib-image check-assistant-image tidy \
        $(addprefix configure-,$(PRESETS)) $(addprefix build-,$(PRESETS))

help:
	@echo "make run    build if needed, then start the bench ($(BENCH))"
	@echo "make test   install missing packages (as root), build host and windows, run all tests"
	@echo "make fuzz   run every fuzz target FUZZ_SECONDS (60) and merge into the corpora; FUZZ_TARGETS picks some"

run: build-host
	@if [[ ! -x $(BENCH) ]]; then \
	    echo "make run: $(BENCH) has not been built: the bench (tools/bench) is not in the tree yet." >&2; \
	    exit 1; \
	fi
	$(BENCH)

test: build-host build-windows check-driver-image check-reglib-image check-assistant-image tidy
	ctest --preset host -j $(JOBS)

# Each fuzz target for FUZZ_SECONDS, one after the other (one core), from
# its stored corpus; what it found is merged back (tools/fuzz/fuzz_all.sh).
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=
FUZZ_LIST := build/fuzz/fuzz_targets.txt
fuzz: build/fuzz/.configured
	cmake --build --preset fuzz -j $(JOBS) --target $$(cut -d' ' -f1 $(FUZZ_LIST))
	tools/fuzz/fuzz_all.sh $(FUZZ_LIST) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# clang-tidy over the product code, each part with its own configuration
# (driver/, reglib/ and assistant/.clang-tidy: the root's checks, findings
# are errors), on the host build's commands.
TIDY_SOURCES := $(wildcard driver/core/*.cpp driver/services/*.cpp reglib/*.cpp \
                  assistant/app/*.cpp assistant/diag/*.cpp assistant/framework/*.cpp)
tidy: build-host
	@printf '%s\n' $(TIDY_SOURCES) | xargs -P $(JOBS) -n 4 clang-tidy -p build/host --quiet 2>/dev/null
	@echo "clang-tidy: driver, reglib and assistant clean ($(words $(TIDY_SOURCES)) files)"

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
	@python3 tools/check_version_resource.py $(DRIVER_IMAGE) FileVersion=1.0.772.0 \
	    ProductName="QTR84PX-1 Serial Adapter" OriginalFilename=84prusb64.sys

# The library must load on any Windows: its eight exports by their plain
# names, a version resource, and imports only from system DLLs, none of
# them for what it loads by name.
check-reglib-image: build-windows
	@dump=$$($(OBJDUMP) -p $(REGLIB_IMAGE)); \
	for name in $(REGLIB_EXPORTS); do \
	    grep -Eq "^[[:space:]]+\[[[:space:]]*[0-9]+\] $$name\$$" <<<"$$dump" \
	        || { echo "$(REGLIB_IMAGE): does not export $$name" >&2; exit 1; }; \
	done; \
	$(OBJDUMP) -h $(REGLIB_IMAGE) | grep -q '[[:space:]]\.rsrc[[:space:]]' \
	    || { echo "$(REGLIB_IMAGE): no version resource" >&2; exit 1; }; \
	modules=$$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$$dump" | tr '[:upper:]' '[:lower:]'); \
	for module in $$modules; do \
	    case " $(REGLIB_MODULES) " in \
	        *" $$module "*) ;; \
	        *) echo "$(REGLIB_IMAGE): imports from $$module; only $(REGLIB_MODULES) are allowed" >&2; exit 1;; \
	    esac; \
	done; \
	if grep -Eq '[[:space:]](SetupCopyOEMInf[AW]|UpdateDriverForPlugAndPlayDevices[AW]|ComDB[A-Za-z]+)$$' <<<"$$dump"; then \
	    echo "$(REGLIB_IMAGE): imports a function it must load by name" >&2; exit 1; \
	fi; \
	echo "$(REGLIB_IMAGE): exports $(words $(REGLIB_EXPORTS)) functions, imports from" $$modules

# The Assistant must start as a windowed program that Windows elevates: GUI
# subsystem and a manifest asking for administrator rights; the library
# comes with it at load time.
check-assistant-image: build-windows
	@dump=$$($(OBJDUMP) -p $(ASSISTANT_IMAGE)); \
	grep -Eq '^Subsystem[[:space:]]+0+2[[:space:]]+\(Windows GUI\)' <<<"$$dump" \
	    || { echo "$(ASSISTANT_IMAGE): not a GUI-subsystem image" >&2; exit 1; }; \
	grep -aq 'requestedExecutionLevel level="requireAdministrator" uiAccess="false"' $(ASSISTANT_IMAGE) \
	    || { echo "$(ASSISTANT_IMAGE): no manifest requiring administrator rights" >&2; exit 1; }; \
	grep -Eiq '^[[:space:]]*DLL Name: cl84prreg64\.dll$$' <<<"$$dump" \
	    || { echo "$(ASSISTANT_IMAGE): does not import cl84prreg64.dll" >&2; exit 1; }; \
	echo "$(ASSISTANT_IMAGE): GUI image, manifest requires administrator rights, imports cl84prreg64.dll"
