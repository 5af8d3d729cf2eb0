# Two commands for a fresh machine:
#   make demo   builds the program and runs it on a bundled example
#   make test   builds everything and runs every test
# Each first installs the Debian packages the machine lacks
# (scripts/ensure-packages).
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
EXAMPLE ?= examples/transect100-pcnm.answers

.PHONY: all build build-tests demo test clean

all: build

build:
	scripts/ensure-packages build
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DORTELIX_TESTS=OFF
	cmake --build $(BUILD) -j $(JOBS)

build-tests:
	scripts/ensure-packages test
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DORTELIX_TESTS=ON
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	@dir=$$(mktemp -d); \
	cp examples/*.txt $$dir/ 2>/dev/null; \
	echo "== running ortelix in $$dir with $(EXAMPLE) on standard input"; \
	(cd $$dir && $(CURDIR)/$(BUILD)/src/main/ortelix < $(CURDIR)/$(EXAMPLE)); \
	for f in $$dir/*; do case $$(basename $$f) in sites*.txt) continue;; esac; \
	  echo; echo "== $$(basename $$f) (first 30 lines)"; head -n 30 $$f | cut -c1-120; done; \
	rm -rf $$dir

test: build-tests
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
